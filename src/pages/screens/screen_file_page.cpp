#include "pages/screens/screen_file_page.h"

#include "pages/screens/steps.h"
#include "system/system.h"
#include "ui/ui_services.h"

namespace zarvo {

// Field rectangles are left, top, width, height in twips.
const ScreenPageTable kBootPicturePage = {"Frame6",    "Картинка загрузки",
                                          "Command14", "Command17",
                                          "Command15", "Command16",
                                          "Image3",    ":/previews/boot.bmp",
                                          "Text10",    QRect(240, 480, 615, 285),
                                          "Text11",    QRect(120, 1320, 615, 285),
                                          "Text12",    QRect(120, 1680, 615, 285),
                                          "Text13",    QRect(120, 2040, 615, 285),
                                          kBootScreen};

const ScreenPageTable kWaitScreenPage = {"Frame7",    "Подготовка к завершению",
                                         "Command19", "Command21",
                                         "Command22", "Command23",
                                         "Image2",    ":/previews/wait.bmp",
                                         "Text14",    QRect(120, 360, 615, 375),
                                         "Text15",    QRect(120, 1200, 495, 375),
                                         "Text16",    QRect(120, 1650, 495, 285),
                                         "Text17",    QRect(120, 2040, 495, 285),
                                         kWaitScreen};

const ScreenPageTable kShutdownScreenPage = {"Frame8",       "Завершение работы",
                                             "Command13",    "Command18",
                                             "Command20",    "Command24",
                                             "Image7",       ":/previews/shutdown.bmp",
                                             "Text18",       QRect(240, 360, 615, 285),
                                             "Text19",       QRect(360, 1680, 615, 285),
                                             "Text20",       QRect(480, 2040, 375, 285),
                                             "Text21",       QRect(360, 2400, 615, 285),
                                             kShutdownScreen};

namespace {

QRect inPixels(const QRect& t) {
    return twips(t.x(), t.y(), t.width(), t.height());
}

const QString kRoot = fromStd(kDriveRoot);

}  // namespace

ScreenFilePage::ScreenFilePage(PageContext& context, QWidget* parent, const ScreenPageTable& table)
    : Page(context, parent, QString::fromUtf8(table.frame), QString::fromUtf8(table.caption)),
      table_(table),
      steps_(table.screen) {
    openButton = makeButton(this, QString::fromUtf8(table.openButton), QStringLiteral("Открыть"),
                            twips(120, 840, 1335, 315));
    step1 = makeButton(this, QString::fromUtf8(table.step1), QStringLiteral("1"),
                       twips(120, 1320, 375, 255), colors::kGreen);
    step2 = makeButton(this, QString::fromUtf8(table.step2), QStringLiteral("2"),
                       twips(600, 1320, 375, 255), colors::kYellow);
    step3 = makeButton(this, QString::fromUtf8(table.step3), QStringLiteral("3"),
                       twips(1080, 1320, 375, 255), colors::kRed);
    preview =
        new PictureBox(this, QString::fromUtf8(table.preview), twips(1800, 360, 2175, 2535), true);
    preview->setDeferredPicture(
        [path = QString::fromUtf8(table.previewResource)] { return builtInPicture(path); });

    pathField =
        addPathField(QString::fromUtf8(table.pathField), inPixels(table.pathFieldTwips), kRoot);
    nameField =
        addPathField(QString::fromUtf8(table.nameField), inPixels(table.nameFieldTwips), kRoot);
    targetField =
        addPathField(QString::fromUtf8(table.targetField), inPixels(table.targetFieldTwips),
                     QString::fromStdString(table.screen.path()));
    stagingField = addPathField(QString::fromUtf8(table.stagingField),
                                inPixels(table.stagingFieldTwips), kRoot);

    onClick(openButton, [this] { onOpen(); });
    onClick(step1, [this] { onStep1(); });
    onClick(step2, [this] { onStep2(); });
    onClick(step3, [this] { onStep3(); });
}

void ScreenFilePage::load() {
    Page::load();
    // Each step shows the next once it has run; "1" waits for a chosen file.
    for (QPushButton* step : {step1, step2, step3}) step->setVisible(false);
}

void ScreenFilePage::onOpen() {
    // The dialog is the Wallpaper page's too: after a cancel it still holds
    // the last file chosen on any page, and the page goes on with that.
    CommonDialog& dialog = context().pictureDialog;
    // A bitmap, first and the default, is installed as it is; any other
    // picture is made into a screen file by step "2", and a screen file
    // made before is a bitmap too.
    showOpenAdding(dialog, kPicturesFilter + kScreenFilesFilter);
    // A file that is no picture can still be installed: only the preview is
    // refused.
    if (auto picture = loadPreview(dialog.fileName(), preview->size()))
        preview->setPicture(*picture);
    pathField->setText(dialog.fileName());
    nameField->setText(dialog.fileTitle());
    stagingField->setText(kRoot + nameField->text());
    step1->setVisible(true);
}

void ScreenFilePage::onStep1() {
    steps_.putProgramCopy(system());
    step2->setVisible(true);
}

void ScreenFilePage::onStep2() {
    const std::string chosen = toStd(trimSpaces(pathField->text()));
    // Steps "2" and "3" work on the screen file made from a picture that is
    // no bitmap; the chosen file stays as it is.
    const std::string source = screenFileSource(system(), ui(), table_.screen, chosen);
    const std::string staged =
        steps_.stagingPath(system(), source, toStd(trimSpaces(stagingField->text())));
    runStep2(Step2Page::ScreenFile, ui(), [&] {
        steps_.stage(system(), source, staged);
        stagingField->setText(QString::fromStdString(staged));
        step3->setVisible(true);
    });
}

void ScreenFilePage::onStep3() {
    steps_.install(system(), toStd(targetField->text()));
    ui().messageBox(QStringLiteral("Вступет в силу после перегрузки"), mb::Exclamation,
                    windowCaption());
}

}  // namespace zarvo
