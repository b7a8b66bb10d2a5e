#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <optional>

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
    const char* screenFile;   // written by step 1, deleted by step 2
    const char* programCopy;  // read by step 1
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
    QLineEdit* pathField;
    QLineEdit* nameField;
    QLineEdit* stagingField;
    QLineEdit* targetField;

private:
    void onOpen();
    void onStep1();
    void onStep2();
    void onStep3();

    const ScreenPageTable& table_;
    // The copy the last step "2" made and no step "3" has moved yet: all
    // that step "3" ever moves.
    std::optional<QString> staged_;
};

}  // namespace zarvo
