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

private:
    // Combo1's list selection: the chosen slot and its preview.
    void chooseSlot();
    // Command1: choose an icon file and preview it.
    void openIconFile();
    // Command2: store the chosen file as the icon of the chosen slot.
    void storeIcon();
    // Command25: delete the shell's icon cache and restart Windows.
    void clearCacheAndRestart();
};

}  // namespace zarvo
