#include "icons/icon_page.h"

#include <QLineEdit>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/form1.h"
#include "icons/slot_catalogue.h"
#include "platform/cp1251.h"
#include "platform/error.h"
#include "platform/system.h"

namespace zarvo {

namespace {

const char* const kShellIconsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";
const char* const kIconCache = "C:\\WINDOWS\\ShellIconCache";

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

IconPage::IconPage(Form1& form) : Page(form, QStringLiteral("Frame1"), QStringLiteral("Icon")) {
    QStringList entries;
    for (const IconSlot& slot : kIconSlots)
        entries << QString::fromUtf8(slot.listText.data(), qsizetype(slot.listText.size()));
    Combo1 = makeComboBox(this, QStringLiteral("Combo1"), twips(120, 240, 2655, 315), entries, 0);

    Image1 = new PictureBox(this, QStringLiteral("Image1"), twips(2880, 240, 480, 480), false);
    // The entry the list shows at start, drawn in 16 colours at three sizes;
    // the preview shows its 32 x 32 image.
    Image1->setDeferredPicture([] { return builtInPicture(QStringLiteral(":/icons/image1.ico")); });

    Option4 = new QRadioButton(QStringLiteral("ico"), this);
    Option4->setObjectName(QStringLiteral("Option4"));
    Option4->setGeometry(twips(120, 600, 615, 255));
    Option4->setFont(msSansSerif(8.25, true));
    Option5 = new QRadioButton(QStringLiteral("bmp"), this);
    Option5->setObjectName(QStringLiteral("Option5"));
    Option5->setGeometry(twips(840, 600, 735, 255));
    Option5->setFont(msSansSerif(8.25, true));

    Command1 = makeButton(this, QStringLiteral("Command1"), QStringLiteral("Открыть"),
                          twips(120, 850, 1335, 315));
    Image6 = new PictureBox(this, QStringLiteral("Image6"), twips(2040, 840, 1815, 2055), true);
    Image6->setDeferredPicture([size = Image6->size()] {
        return builtInPicture(QStringLiteral(":/previews/icons.jpg"), size);
    });
    Command2 = makeButton(this, QStringLiteral("Command2"), QStringLiteral("Выполнить"),
                          twips(120, 1320, 1335, 315));
    // The slot of the entry the list shows at start, so that a store before
    // any choice goes to that slot and never to the key's unnamed value.
    Text1 =
        makeField(this, QStringLiteral("Text1"), twips(1560, 1440, 375, 375), QStringLiteral("0"));
    Text2 = makeField(this, QStringLiteral("Text2"), twips(1560, 1920, 375, 375), QString());
    Text9 = makeField(this, QStringLiteral("Text9"), twips(120, 2400, 615, 375),
                      QStringLiteral(".ico"));
    Text3 = makeField(this, QStringLiteral("Text3"), twips(960, 2400, 975, 375),
                      QStringLiteral("C:\\Program Files\\Zarvo\\ico\\1.ico"));
    Command25 = makeButton(this, QStringLiteral("Command25"), QStringLiteral("Перезагрузить"),
                           twips(120, 2520, 1815, 315), colors::kRed);

    CommonDialog1 =
        new CommonDialog(QStringLiteral("CommonDialog1"),
                         QStringLiteral("Icon(*.ico)|*.ico|Bitmap(*.bmp)|*.bmp|"), this);

    // Only a choice from the list selects a slot.
    connect(Combo1, &QComboBox::activated, this,
            [this] { runHandler(ui(), [this] { chooseSlot(); }); });
    onClick(Command1, [this] { openIconFile(); });
    onClick(Command2, [this] { storeIcon(); });
    onClick(Command25, [this] { clearCacheAndRestart(); });
}

void IconPage::chooseSlot() {
    const std::optional<IconSlot> slot = findIconSlot(toStd(Combo1->currentText()));
    if (!slot) return;
    Text1->setText(QString::fromUtf8(slot->slotNumber.data(), qsizetype(slot->slotNumber.size())));
    Image1->setPicture(ui().resourceIcon(slot->previewIconId));
}

void IconPage::openIconFile() {
    ui().showOpen(*CommonDialog1, &form());
    // A cancel leaves the dialog's earlier name, which is previewed again.
    Text2->setText(CommonDialog1->fileName());
    if (auto picture = loadPreview(Text2->text())) Image6->setPicture(*picture);
}

void IconPage::storeIcon() {
    // An empty path in the registry would give the slot no icon at all.
    if (CommonDialog1->fileName().isEmpty()) {
        ui().messageBox(QStringLiteral("Введите корректный путь."), mb::Exclamation,
                        form().windowTitle());
        return;
    }
    requireRegistryPath(CommonDialog1->fileName());
    Text2->setText(CommonDialog1->fileName());
    if (Option5->isChecked()) {
        form().SourceFile = Text2->text();
        form().TargetFile = Text2->text() + Text9->text();
        system().renameFile(toStd(form().SourceFile), toStd(form().TargetFile));
        form().SourceFile.clear();
        form().TargetFile.clear();
        Text2->setText(Text2->text() + Text9->text());
    }
    if (!form().Registry)
        throw Error(91, "Не задана объектная переменная или переменная блока With");
    std::uint32_t rootKey = hkey::LocalMachine;
    std::string keyPath = kShellIconsKey;
    std::string valueName = toStd(Text1->text());
    std::string valueData = toStd(Text2->text());
    std::int32_t status = 0;
    // The status repeats what a thrown error already says.
    form().Registry->storeString(rootKey, keyPath, valueName, valueData, status);
    ui().messageBox(QStringLiteral("После выбора всех иконок перезагрузитесь!!!"), mb::OkOnly);
    Command25->setVisible(true);
}

void IconPage::clearCacheAndRestart() {
    try {
        system().setAttributes(kIconCache, attr::Normal);
        form().CacheFile = QString::fromUtf8(kIconCache);
        system().deleteFile(toStd(form().CacheFile));
    } catch (const Error& error) {
        if (error.number() == err::FileNotFound)
            ui().messageBox(QStringLiteral("Еще не создан файл ShellIconCache"), mb::OkOnly);
    }
    // The shell rebuilds its icons at start-up, with or without the old cache.
    if (system().exitWindowsEx(EWX_REBOOT_FLAG, 2) == 0)
        ui().messageBox(QStringLiteral("Невозможно выйти из Windows"), mb::OkOnly);
}

}  // namespace zarvo
