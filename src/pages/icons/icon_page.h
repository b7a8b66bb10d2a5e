#pragma once

#include <QComboBox>
#include <QLineEdit>
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
    QLineEdit* slotField;         // Text1
    QLineEdit* pathField;         // Text2
    QLineEdit* extensionField;    // Text9
    QLineEdit* defaultIconField;  // Text3
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
