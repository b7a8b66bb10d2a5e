#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/controls.h"
#include "app/page.h"

namespace zarvo {

// The Animated boot page: installs one of the program's animated boot
// pictures as the boot picture.
class AnimatedBootPage : public Page {
public:
    explicit AnimatedBootPage(Form1& form);

    QComboBox* Combo2;
    QLineEdit* Text5;
    QLabel* Label4;
    QLineEdit* Text6;
    QLineEdit* Text7;
    QPushButton* Command12;
    QLineEdit* Text8;
    QLabel* Label1;
    QPushButton* Command9;
    QPushButton* Command10;
    QPushButton* Command11;
    PictureBox* Image4;
};

}  // namespace zarvo
