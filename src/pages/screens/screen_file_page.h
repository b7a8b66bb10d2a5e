#pragma once

#include <QPushButton>
#include <QRect>
#include <QString>

#include "changes/screen_files.h"
#include "widgets/controls.h"
#include "widgets/page.h"

namespace zarvo {

// What tells the three screen-file pages apart: their controls' names, the
// places of their hidden fields, and the files they work on.
struct ScreenPageTable {
    const char* frame;
    const char* caption;
    const char* openButton;
    const char* step1;
    const char* step2;
    const char* step3;
    const char* preview;
    const char* previewResource;
    const char* pathField;
    QRect pathFieldTwips;
    const char* nameField;
    QRect nameFieldTwips;
    const char* targetField;
    QRect targetFieldTwips;
    const char* stagingField;
    QRect stagingFieldTwips;
    const ScreenFile& screen;
};

extern const ScreenPageTable kBootPicturePage;
extern const ScreenPageTable kWaitScreenPage;
extern const ScreenPageTable kShutdownScreenPage;

// One page that replaces a Windows screen file with a chosen picture in three
// numbered steps.
class ScreenFilePage : public Page {
public:
    ScreenFilePage(PageContext& context, QWidget* parent, const ScreenPageTable& table);

    void load() override;

    const ScreenPageTable& table() const { return table_; }

    QPushButton* openButton;
    QPushButton* step1;
    QPushButton* step2;
    QPushButton* step3;
    PictureBox* preview;
    PathField* pathField;
    PathField* nameField;
    PathField* stagingField;
    PathField* targetField;

private:
    void onOpen();
    void onStep1();
    void onStep2();
    void onStep3();

    const ScreenPageTable& table_;
    ScreenSteps steps_;
};

}  // namespace zarvo
