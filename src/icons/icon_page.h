#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/controls.h"
#include "app/page.h"
#include "platform/ui_services.h"

namespace zarvo {

// The Icon page: replaces the shell's standard icons through the registry.
class IconPage : public Page {
public:
    explicit IconPage(Form1& form);

    QComboBox* Combo1;
    PictureBox* Image1;
    QRadioButton* Option4;
    QRadioButton* Option5;
    QPushButton* Command1;
    PictureBox* Image6;
    QPushButton* Command2;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QLineEdit* Text9;
    QLineEdit* Text3;
    QPushButton* Command25;
    CommonDialog* CommonDialog1;
};

}  // namespace zarvo
