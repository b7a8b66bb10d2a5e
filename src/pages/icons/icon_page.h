#pragma once

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

#include "ui/ui_services.h"
#include "widgets/controls.h"
#include "widgets/page.h"

namespace zarvo {

// The Icon page: replaces the shell's standard icons through the registry.
class IconPage : public Page {
public:
    IconPage(PageContext& context, QWidget* parent);

    void load() override;

    QComboBox* slotList;          // Combo1
    PictureBox* slotPreview;      // Image1
    QRadioButton* icoOption;      // Option4
    QRadioButton* bmpOption;      // Option5
    QPushButton* openButton;      // Command1
    PictureBox* filePreview;      // Image6
    QPushButton* storeButton;     // Command2
    PathField* slotField;         // Text1
    PathField* pathField;         // Text2
    PathField* extensionField;    // Text9
    PathField* defaultIconField;  // Text3
    QPushButton* restartButton;   // Command25
    CommonDialog* iconDialog;     // CommonDialog1

private:
    // A choice from the slot list: the chosen slot and its preview.
    void chooseSlot();
    void openIconFile();
    // Stores the chosen file as the icon of the chosen slot.
    void storeIcon();
    // Deletes the shell's icon cache and restarts Windows.
    void clearCacheAndRestart();
};

}  // namespace zarvo
