#include "pages/icons/icon_page.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "changes/program_folder.h"
#include "changes/shell_icons.h"
#include "formats/cp1251.h"
#include "pages/icons/slot_catalogue.h"
#include "system/error.h"
#include "system/system.h"

namespace zarvo {

namespace {

// Windows 98 hands a path to the shell and the registry in code page 1251,
// and a registry line cannot hold a line break. A path that cannot be written
// so is refused before the "bmp" rename, so that a refused store neither
// renames the user's file nor writes anything.
void requireRegistryPath(const QString& path) {
    const std::optional<std::string> bytes = cp1251::fromUtf8(toStd(path));
    if (!bytes) {
        throw Error(err::BadFileName, errorDescription(err::BadFileName) +
                                          ": в пути есть знак вне кодовой страницы 1251");
    }
    if (bytes->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        throw Error(err::BadFileName,
                    errorDescription(err::BadFileName) + ": перевод строки в пути");
    }
}

}  // namespace

IconPage::IconPage(PageContext& context, QWidget* parent)
    : Page(context, parent, QStringLiteral("Frame1"), QStringLiteral("Icon")) {
    QStringList entries;
    for (const IconSlot& slot : kIconSlots) entries << fromStd(slot.listText);
    slotList = makeComboBox(this, QStringLiteral("Combo1"), twips(120, 240, 2655, 315), entries, 0);

    slotPreview = new PictureBox(this, QStringLiteral("Image1"), twips(2880, 240, 480, 480), false);
    // The entry the list shows at start, drawn in 16 colours at three sizes;
    // the preview shows its 32 x 32 image.
    slotPreview->setDeferredPicture(
        [] { return builtInPicture(QStringLiteral(":/icons/image1.ico")); });

    icoOption = new QRadioButton(QStringLiteral("ico"), this);
    icoOption->setObjectName(QStringLiteral("Option4"));
    icoOption->setGeometry(twips(120, 600, 615, 255));
    icoOption->setFont(msSansSerif(8.25, true));
    bmpOption = new QRadioButton(QStringLiteral("bmp"), this);
    bmpOption->setObjectName(QStringLiteral("Option5"));
    bmpOption->setGeometry(twips(840, 600, 735, 255));
    bmpOption->setFont(msSansSerif(8.25, true));

    openButton = makeButton(this, QStringLiteral("Command1"), QStringLiteral("Открыть"),
                            twips(120, 850, 1335, 315));
    filePreview =
        new PictureBox(this, QStringLiteral("Image6"), twips(2040, 840, 1815, 2055), true);
    filePreview->setDeferredPicture(
        [size = filePreview->size()] {
            return builtInPicture(QStringLiteral(":/previews/icons.jpg"), size);
        },
        [] { return builtInPicture(QStringLiteral(":/previews/icons-box.bmp")); });
    storeButton = makeButton(this, QStringLiteral("Command2"), QStringLiteral("Выполнить"),
                             twips(120, 1320, 1335, 315));
    // The slot of the entry the list shows at start, so that a store before
    // any choice goes to that slot and never to the key's unnamed value.
    slotField =
        addPathField(QStringLiteral("Text1"), twips(1560, 1440, 375, 375), QStringLiteral("0"));
    pathField = addPathField(QStringLiteral("Text2"), twips(1560, 1920, 375, 375), QString());
    extensionField =
        addPathField(QStringLiteral("Text9"), twips(120, 2400, 615, 375), QStringLiteral(".ico"));
    defaultIconField =
        addPathField(QStringLiteral("Text3"), twips(960, 2400, 975, 375),
                     QString::fromStdString(programfolder::iconFolder() + "\\1.ico"));
    restartButton = makeButton(this, QStringLiteral("Command25"), QStringLiteral("Перезагрузить"),
                               twips(120, 2520, 1815, 315), colors::kRed);

    iconDialog = new CommonDialog(QStringLiteral("CommonDialog1"),
                                  QStringLiteral("Icon(*.ico)|*.ico|Bitmap(*.bmp)|*.bmp|"), this);

    // Only a choice from the list selects a slot.
    connect(slotList, &QComboBox::activated, this,
            [this] { runHandler(ui(), [this] { chooseSlot(); }); });
    onClick(openButton, [this] { openIconFile(); });
    onClick(storeButton, [this] { storeIcon(); });
    onClick(restartButton, [this] { clearCacheAndRestart(); });
}

void IconPage::chooseSlot() {
    const std::optional<IconSlot> slot = findIconSlot(toStd(slotList->currentText()));
    if (!slot) return;
    slotField->setText(fromStd(slot->slotNumber));
    slotPreview->setPicture(ui().resourceIcon(slot->previewIconId));
}

void IconPage::load() {
    Page::load();
    icoOption->setChecked(true);
    // Shown once an icon has been stored.
    restartButton->setVisible(false);
}

void IconPage::openIconFile() {
    // Icons and bitmaps first; any other picture becomes an icon when stored.
    showOpenAdding(*iconDialog, kPicturesFilter);
    // A cancel leaves the dialog's earlier name, which is previewed again.
    pathField->setText(iconDialog->fileName());
    if (auto picture = loadPreview(pathField->text(), filePreview->size()))
        filePreview->setPicture(*picture);
}

void IconPage::storeIcon() {
    // An empty path in the registry would give the slot no icon at all.
    if (iconDialog->fileName().isEmpty()) {
        ui().messageBox(QStringLiteral("Введите корректный путь."), mb::Exclamation,
                        windowCaption());
        return;
    }
    requireRegistryPath(iconDialog->fileName());
    pathField->setText(iconDialog->fileName());
    if (bmpOption->isChecked()) {
        const QString renamed = pathField->text() + extensionField->text();
        system().renameFile(toStd(pathField->text()), toStd(renamed));
        pathField->setText(renamed);
    }
    IRegistryWriter* registry = context().registry.get();
    if (!registry) throw Error(err::ObjectVariableNotSet);
    // An icon Windows 98 cannot show is replaced by one made from it.
    pathField->setText(
        QString::fromStdString(iconToStore(system(), ui(), toStd(pathField->text()))));
    registry->storeString(kShellIconsRoot, kShellIconsKey, toStd(slotField->text()),
                          toStd(pathField->text()));
    ui().messageBox(QStringLiteral("После выбора всех иконок перезагрузитесь!!!"), mb::OkOnly);
    restartButton->setVisible(true);
}

void IconPage::clearCacheAndRestart() {
    try {
        const std::string cache = iconCache();
        system().setAttributes(cache, attr::Normal);
        system().deleteFile(cache);
    } catch (const Error& error) {
        if (error.number() == err::FileNotFound)
            ui().messageBox(QStringLiteral("Еще не создан файл ShellIconCache"), mb::OkOnly);
    }
    // The shell rebuilds its icons at start-up, with or without the old cache.
    if (system().exitWindowsEx(EWX_REBOOT_FLAG, 2) == 0)
        ui().messageBox(QStringLiteral("Невозможно выйти из Windows"), mb::OkOnly);
}

}  // namespace zarvo
