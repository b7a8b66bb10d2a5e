#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QString>

#include "changes/screen_files.h"
#include "pages/screens/animated_picture_box.h"
#include "widgets/controls.h"
#include "widgets/page.h"

namespace zarvo {

// The Animated boot page: installs one of the program's animated boot
// pictures as the boot picture.
class AnimatedBootPage : public Page {
public:
    AnimatedBootPage(PageContext& context, QWidget* parent);

    void load() override;

    QComboBox* pictureList;       // Combo2
    PathField* stagedField;       // Text5
    QLabel* checkLabel;           // Label4
    PathField* sourceField;       // Text6
    PathField* targetField;       // Text7
    QPushButton* msdosButton;     // Command12
    PathField* pictureField;      // Text8
    QLabel* stepsLabel;           // Label1
    QPushButton* step1;           // Command9
    QPushButton* step2;           // Command10
    QPushButton* step3;           // Command11
    AnimatedPictureBox* preview;  // Image4

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool labelsFitted_ = false;
    ScreenSteps steps_{kBootScreen};
    void onPictureChosen();
    void onStep1();
    void onStep2();
    void onStep3();
    void onOpenMsdosSys();
    // What the user is told when nothing opens text files.
    QString noTextEditorMessage();
};

}  // namespace zarvo
