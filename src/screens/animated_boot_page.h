#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/controls.h"
#include "app/page.h"
#include "screens/animated_picture_box.h"

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
    AnimatedPictureBox* Image4;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool labelsFitted_ = false;
    void onPictureChosen();
    void onStep1();
    void onStep2();
    void onStep3();
    void onOpenMsdosSys();
};

}  // namespace zarvo
