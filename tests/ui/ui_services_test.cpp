#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImageWriter>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include "support/scoped_variable.h"
#include "support/scripted_ui.h"
#include "system/error.h"
#include "system/system.h"
#include "ui/host_folders.h"
#include "ui/qt_ui_services.h"

namespace zarvo {
namespace {

// Drive C: is a temporary folder, every other host path is on Z:.
class FakeSystem : public ISystem {
public:
    explicit FakeSystem(const QString& root) : root_(root) {}
    void copyFile(const std::string&, const std::string&) override { unused(); }
    void checkCopyable(const std::string&, const std::string&, const std::string&) override {
        unused();
    }
    void renameFile(const std::string&, const std::string&) override { unused(); }
    void deleteFile(const std::string&) override { unused(); }
    void setAttributes(const std::string&, unsigned) override { unused(); }
    unsigned attributes(const std::string&) override { unused(); }
    bool fileExists(const std::string&) override { unused(); }
    void createDirectory(const std::string&) override { unused(); }
    void writeNewFile(const std::string&, std::string_view) override { unused(); }
    void replaceFile(const std::string&, std::string_view) override { unused(); }
    void checkReplaceable(const std::string&) override { unused(); }
    std::string readFile(const std::string&) override { unused(); }
    std::optional<std::string> ansiFromUtf8(std::string_view) override { unused(); }
    std::string utf8FromAnsi(std::string_view) override { unused(); }
    void flushProfile(const std::string&) override { unused(); }
    std::unique_ptr<IRegistryWriter> createRegistryWriter() override { unused(); }
    void shellExecute(const ShellRequest&) override { unused(); }
    int exitWindowsEx(unsigned, unsigned) override { unused(); }
    bool refreshWallpaper(const std::string&) override { unused(); }
    void recoverInterruptedWrites(const std::vector<std::string>&) override { unused(); }
    std::string sessionId() override { unused(); }
    bool sessionRunning(const std::string&) override { unused(); }

    std::string hostPath(const std::string& windowsPath) override {
        const QString path = QString::fromStdString(windowsPath);
        const QString rest = path.mid(3).replace('\\', '/');
        if (path.startsWith("C:\\", Qt::CaseInsensitive)) return (root_ + '/' + rest).toStdString();
        if (path.startsWith("Z:\\", Qt::CaseInsensitive)) return ('/' + rest).toStdString();
        throw Error(err::PathNotFound);
    }
    std::string windowsPath(const std::string& hostPath) override {
        const QString path = QString::fromStdString(hostPath);
        const bool onC = path.startsWith(root_ + '/');
        const QString rest = path.mid(onC ? root_.size() + 1 : 1).replace('/', '\\');
        return ((onC ? "C:\\" : "Z:\\") + rest).toStdString();
    }

private:
    [[noreturn]] static void unused() { throw Error(err::InvalidProcedureCall); }
    QString root_;
};

QByteArray picture(QSize size, Qt::GlobalColor colour, const char* format) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A 32 x 32, 16-colour icon image whose entry leaves the bit count 0, as old
// icon editors did.
QByteArray fourBitIconEntryAndImage(QRgb colour) {
    QByteArray image(40 + 16 * 4 + 32 * 16 + 32 * 4, '\0');
    auto put = [&](int at, auto value) { qToLittleEndian(value, image.data() + at); };
    put(0, quint32(40));  // header size
    put(4, qint32(32));
    put(8, qint32(64));  // the mask's rows count too
    put(12, quint16(1));
    put(14, quint16(4));
    put(40 + 4, quint32(colour & 0xffffff));  // palette entry 1
    image.replace(40 + 64, 32 * 16, QByteArray(32 * 16, '\x11'));
    return QByteArray::fromHex("2020100001000000") + image;
}

// An icon (type 1) or cursor (type 2) file of these images; each is an 8-byte
// entry start followed by its image data.
QByteArray iconFile(const QList<QByteArray>& images, quint16 type = 1) {
    QByteArray head(6, '\0');
    qToLittleEndian(type, head.data() + 2);
    qToLittleEndian(quint16(images.size()), head.data() + 4);
    QByteArray body;
    for (const QByteArray& image : images) {
        QByteArray entry = image.left(8) + QByteArray(8, '\0');
        qToLittleEndian(quint32(image.size() - 8), entry.data() + 8);
        qToLittleEndian(quint32(6 + 16 * images.size() + body.size()), entry.data() + 12);
        head += entry;
        body += image.mid(8);
    }
    return head + body;
}

QByteArray qtIconEntryAndImage(QSize size, Qt::GlobalColor colour) {
    const QByteArray single = picture(size, colour, "ico");
    return single.mid(6, 8) + single.mid(22);
}

// A machine of the test's own: a home without a pictures folder, the
// settings and the temporary folder inside a folder of the test's, so that
// no test reads or writes the user's and a folder can be temporary or not.
class OwnMachine {
public:
    OwnMachine() {
        for (const char* folder : {"home", "config", "tmp"}) QDir(base_).mkpath(folder);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path("config"));
    }
    ~OwnMachine() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    }
    QString path(const QString& relative) const { return base_ + '/' + relative; }

private:
    QTemporaryDir dir_;
    QString base_ = QDir(dir_.path()).canonicalPath();
    test::ScopedVariable home_{"HOME", path("home").toStdString()};
    test::ScopedVariable temporary_{"TMPDIR", path("tmp").toStdString()};
    test::ScopedVariable config_{"XDG_CONFIG_HOME", std::nullopt};
};

QString made(const QString& folder) {
    QDir().mkpath(folder);
    return folder;
}

class UiTest : public ::testing::Test {
protected:
    QString host(const QString& relative) { return rootPath + '/' + relative; }
    void write(const QString& relative, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(host(relative)).absolutePath());
        QFile file(host(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    int errorOf(const QString& windowsPath) {
        try {
            ui.loadPicture(windowsPath);
        } catch (const Error& error) {
            return error.number();
        }
        return 0;
    }

    OwnMachine machine;
    // Drive C: a folder in the user's home, as --drive gives it.
    QString rootPath = made(machine.path("home/win98"));
    FakeSystem system{rootPath};
    QtUiServices ui{system};
};

QString typedName(const QFileDialog& fileDialog) {
    const auto* name = fileDialog.findChild<QLineEdit*>("fileNameEdit");
    return name ? name->text() : "no file name line";
}

// Where a dialog for `dialog` starts, checking that no file name is typed.
QString startOf(QtUiServices& ui, const CommonDialog& dialog) {
    QFileDialog fileDialog;
    ui.prepareOpenDialog(fileDialog, dialog);
    EXPECT_EQ(typedName(fileDialog), "");
    return fileDialog.directory().absolutePath();
}

// Runs `act` on the modal dialog of type T as soon as it is shown.
template <typename T, typename Act>
void whenShown(Act act) {
    QTimer::singleShot(0, [act] {
        auto* widget = qobject_cast<T*>(QApplication::activeModalWidget());
        ASSERT_NE(widget, nullptr);
        act(*widget);
    });
}

TEST(NameFilterTest, BarFiltersBecomeLabelledQtFilters) {
    EXPECT_EQ(qtNameFilters("Icon(*.ico)|*.ico|Bitmap(*.bmp)|*.bmp|"),
              QStringList({"Icon(*.ico) (*.ico)", "Bitmap(*.bmp) (*.bmp)"}));
    EXPECT_EQ(qtNameFilters("BitMap(*.bmp)|*.bmp|"), QStringList({"BitMap(*.bmp) (*.bmp)"}));
    EXPECT_EQ(qtNameFilters("Pictures|*.bmp;*.jpg|All"),
              QStringList({"Pictures (*.bmp *.jpg)", "All (*)"}));
    EXPECT_EQ(qtNameFilters(""), QStringList());
}

TEST_F(UiTest, OpenDialogShowsLabelsAndMatchesPatternsIgnoringCase) {
    write("Pictures/SUNSET.BMP", picture({4, 4}, Qt::red, "bmp"));
    write("Pictures/a.txt", "text");
    CommonDialog dialog("CommonDialog1", "Icon(*.ico)|*.ico|Bitmap(*.bmp)|*.bmp|");
    dialog.setChoice("C:\\Pictures\\old.bmp", "old.bmp");
    QFileDialog fileDialog;
    ui.prepareOpenDialog(fileDialog, dialog);
    fileDialog.selectNameFilter(qtNameFilters(dialog.filter()).at(1));
    fileDialog.show();

    auto* types = fileDialog.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(types->itemText(0), "Icon(*.ico)");
    EXPECT_EQ(types->itemText(1), "Bitmap(*.bmp)");
    EXPECT_EQ(fileDialog.windowTitle(), "Открыть");

    auto* view = fileDialog.findChild<QListView*>("listView");
    ASSERT_NE(view, nullptr);
    QStringList listed;
    QElapsedTimer waited;
    waited.start();
    while (!listed.contains("SUNSET.BMP") && waited.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        listed.clear();
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
            listed << view->model()->index(row, 0, view->rootIndex()).data().toString();
    }
    EXPECT_EQ(listed, QStringList{"SUNSET.BMP"});
}

TEST_F(UiTest, OpenDialogGivesWindowsPathsAndCancelKeepsTheChoice) {
    write("Pictures/SUNSET.BMP", "x");
    QTemporaryDir elsewhere;
    const QString outside = QDir(elsewhere.path()).canonicalPath() + "/Мой.bmp";
    QFile(outside).open(QIODevice::WriteOnly);
    CommonDialog dialog("CommonDialog1", "BitMap(*.bmp)|*.bmp|");
    QString shownIn;
    auto choose = [&](const QString& path) {
        whenShown<QFileDialog>([&shownIn, path](QFileDialog& shown) {
            shownIn = shown.directory().path();
            EXPECT_EQ(typedName(shown), "");
            if (path.isEmpty()) return shown.reject();
            shown.selectFile(path);
            QMetaObject::invokeMethod(&shown, "accept");
        });
    };

    choose(host("Pictures/SUNSET.BMP"));
    EXPECT_TRUE(ui.showOpen(dialog, nullptr));
    EXPECT_EQ(shownIn, machine.path("home"));
    EXPECT_EQ(dialog.fileName(), "C:\\Pictures\\SUNSET.BMP");
    EXPECT_EQ(dialog.fileTitle(), "SUNSET.BMP");

    choose("");
    EXPECT_FALSE(ui.showOpen(dialog, nullptr));
    EXPECT_EQ(shownIn, rootPath + "/Pictures");
    EXPECT_EQ(dialog.fileName(), "C:\\Pictures\\SUNSET.BMP");

    choose(outside);
    EXPECT_TRUE(ui.showOpen(dialog, nullptr));
    EXPECT_EQ(dialog.fileName(), "Z:" + QString(outside).replace('/', '\\'));
    EXPECT_EQ(dialog.fileTitle(), "Мой.bmp");
}

TEST_F(UiTest, OpenDialogStartsInPicturesOrWhereTheLastFileCameFrom) {
    const CommonDialog fresh("CommonDialog1", "BitMap(*.bmp)|*.bmp|");
    EXPECT_EQ(startOf(ui, fresh), machine.path("home"));
    QDir().mkpath(machine.path("home/Pictures"));
    EXPECT_EQ(startOf(ui, fresh), machine.path("home/Pictures"));

    const QString photos = machine.path("home/Фото");
    QDir().mkpath(photos);
    QFile(photos + "/sea.bmp").open(QIODevice::WriteOnly);
    CommonDialog other("CommonDialog2", "BitMap(*.bmp)|*.bmp|");
    whenShown<QFileDialog>([&](QFileDialog& shown) {
        shown.selectFile(photos + "/sea.bmp");
        QMetaObject::invokeMethod(&shown, "accept");
    });
    ASSERT_TRUE(ui.showOpen(other, nullptr));
    EXPECT_EQ(startOf(ui, fresh), photos);

    QtUiServices nextRun(system);
    EXPECT_EQ(startOf(nextRun, fresh), photos);
    QDir(photos).removeRecursively();
    EXPECT_EQ(startOf(nextRun, fresh), machine.path("home/Pictures"));
}

// A disk image's drive is a temporary folder that is gone after the run:
// no dialog starts there, and neither the program's settings nor Qt's,
// which every later file dialog reads, keep it.
TEST_F(UiTest, OpenDialogNeitherStartsInNorRemembersTemporaryFolders) {
    const QString imageDrive = machine.path("tmp/zarvo-image-1/drive_c");
    const QString earlierImage = QUrl::fromLocalFile(machine.path("tmp/zarvo-image-0")).toString();
    const QString home = QUrl::fromLocalFile(machine.path("home")).toString();
    QDir().mkpath(imageDrive + "/Windows");
    QFile(imageDrive + "/Windows/Logow.sys").open(QIODevice::WriteOnly);
    EXPECT_TRUE(isTemporaryHostPath(imageDrive) && !isTemporaryHostPath(rootPath));
    {
        QSettings qt(QSettings::UserScope, "QtProject");
        qt.beginGroup("FileDialog");
        qt.setValue("history", QStringList{earlierImage, home});
        qt.setValue("lastVisited", earlierImage);
        qt.setValue("shortcuts", QStringList{earlierImage, home});
        qt.setValue("sidebarWidth", 100);
    }
    FakeSystem imageSystem(imageDrive);
    QtUiServices imageUi(imageSystem);
    CommonDialog dialog("CommonDialog1", "BitMap(*.bmp)|*.bmp|");
    dialog.setChoice("C:\\Windows\\Logow.sys", "Logow.sys");
    {
        QFileDialog prepared;
        imageUi.prepareOpenDialog(prepared, dialog);
        EXPECT_EQ(prepared.directory().absolutePath(), machine.path("home"));
        EXPECT_EQ(prepared.history(), QStringList{machine.path("home")});
        EXPECT_EQ(prepared.sidebarUrls(), QList<QUrl>{QUrl(home)});
    }

    whenShown<QFileDialog>([&](QFileDialog& shown) {
        shown.setDirectory(imageDrive + "/Windows");
        shown.selectFile(imageDrive + "/Windows/Logow.sys");
        QMetaObject::invokeMethod(&shown, "accept");
    });
    ASSERT_TRUE(imageUi.showOpen(dialog, nullptr));
    EXPECT_EQ(dialog.fileName(), "C:\\Windows\\Logow.sys");
    // What Qt wrote as the dialog went, before any other dialog writes.
    int settingsFiles = 0;
    for (QDirIterator it(machine.path("config"), QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_FALSE(file.readAll().contains(machine.path("tmp").toUtf8()))
            << file.fileName().toStdString();
        ++settingsFiles;
    }
    EXPECT_GE(settingsFiles, 1);
    EXPECT_EQ(startOf(imageUi, dialog), machine.path("home"));
    QtUiServices nextRun(imageSystem);
    EXPECT_EQ(startOf(nextRun, CommonDialog("CommonDialog1", "")), machine.path("home"));
}

TEST_F(UiTest, MessageBoxShowsStyleIconAndDefaultTitle) {
    const struct {
        int style;
        QString title;
        QMessageBox::Icon icon;
        QString shownTitle;
    } cases[] = {{mb::OkOnly, "", QMessageBox::NoIcon, "Zarvo"},
                 {mb::Critical, "Ошибка", QMessageBox::Critical, "Ошибка"},
                 {mb::Exclamation, QString(), QMessageBox::Warning, "Zarvo"},
                 {mb::Information, "Zarvo", QMessageBox::Information, "Zarvo"}};
    for (const auto& c : cases) {
        whenShown<QMessageBox>([&c](QMessageBox& box) {
            EXPECT_EQ(box.icon(), c.icon);
            EXPECT_EQ(box.windowTitle(), c.shownTitle);
            EXPECT_EQ(box.text(), "<b>1 < 2</b>");
            EXPECT_EQ(box.textFormat(), Qt::PlainText);
            EXPECT_EQ(box.buttons().size(), 1);
            box.defaultButton()->click();
        });
        ui.messageBox("<b>1 < 2</b>", c.style, c.title);
    }
}

// Today's formats too, which people pick from the web: a drawing is drawn
// large enough for any box it is shown in, or at the box's size.
TEST_F(UiTest, PicturesLoadInTodaysFormats) {
    write("p.png", picture({4, 4}, Qt::red, "png"));
    write("d.svg",
          "<svg xmlns='http://www.w3.org/2000/svg' width='8' height='4'>"
          "<rect width='8' height='4' fill='#00ff00'/></svg>");
    auto colour = [](const QImage& image) { return QColor(image.pixel(0, 0)).name(); };
    EXPECT_EQ(colour(ui.loadPicture("C:\\p.png")), "#ff0000");
    EXPECT_EQ(ui.loadPicture("C:\\d.svg").size(), QSize(512, 256));
    EXPECT_EQ(ui.loadPicture("C:\\d.svg", {100, 100}).size(), QSize(200, 100));
    for (const char* format : {"webp", "tiff"}) {
        if (!QImageWriter::supportedImageFormats().contains(format)) {
            ADD_FAILURE() << format << ": Qt's plugin (qt6-image-formats-plugins) is not installed";
            continue;
        }
        write(QStringLiteral("p.") + format, picture({4, 4}, Qt::blue, format));
        const QColor read = ui.loadPicture(QStringLiteral("C:\\p.") + format).pixelColor(0, 0);
        EXPECT_TRUE(read.blue() > 240 && read.red() < 16) << format;  // WebP may round a little
    }
}

TEST_F(UiTest, PicturesLoadInEveryWindowsFormat) {
    write("a.bmp", picture({40, 30}, Qt::red, "bmp"));
    write("Картинки/закат.jpg", picture({400, 300}, Qt::green, "jpeg"));
    write("boot.sys", picture({8, 8}, Qt::blue, "bmp"));
    write("three.ico",
          iconFile(
              {qtIconEntryAndImage({16, 16}, Qt::red), fourBitIconEntryAndImage(qRgb(255, 0, 0)),
               qtIconEntryAndImage({32, 32}, Qt::green), qtIconEntryAndImage({48, 48}, Qt::blue)}));
    write("c.cur", iconFile({qtIconEntryAndImage({32, 32}, Qt::blue)}, 2));
    // Two 1 x 1 frames, red then blue.
    write("two.gif", QByteArray::fromHex("474946383961"
                                         "0100"
                                         "0100"
                                         "800000"
                                         "ff0000"
                                         "0000ff"
                                         "21f904000a000000"
                                         "2c000000000100010000"
                                         "0202440100"
                                         "21f904000a000000"
                                         "2c000000000100010000"
                                         "02024c0100"
                                         "3b"));

    auto colour = [](const QImage& image) { return QColor(image.pixel(0, 0)).name(); };
    EXPECT_EQ(ui.loadPicture("C:\\a.bmp").size(), QSize(40, 30));
    EXPECT_EQ(colour(ui.loadPicture("C:\\boot.sys")), "#0000ff");
    const QImage jpeg = ui.loadPicture("C:\\Картинки\\закат.jpg");
    EXPECT_EQ(jpeg.size(), QSize(400, 300));
    EXPECT_GT(QColor(jpeg.pixel(200, 150)).green(), 200);
    const QImage icon = ui.loadPicture("C:\\three.ico");
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(colour(icon), "#00ff00");
    EXPECT_EQ(colour(ui.loadPicture("C:\\c.cur")), "#0000ff");
    EXPECT_EQ(colour(ui.loadPicture("C:\\two.gif")), "#ff0000");
    EXPECT_TRUE(ui.loadPicture("").isNull());

    const QImage shown = ui.loadPicture("C:\\Картинки\\закат.jpg", {100, 100});
    EXPECT_GE(shown.height(), 100);
    EXPECT_LT(shown.width(), 400);
}

TEST_F(UiTest, PictureErrorsAreWindowsNumbers) {
    const QByteArray bitmap = picture({40, 30}, Qt::red, "bmp");
    write("cut.bmp", bitmap.left(bitmap.size() / 2));
    write("readme.txt", "not a picture\r\n");
    write("Folder.bmp/x", "");

    EXPECT_EQ(errorOf("C:\\missing.bmp"), err::FileNotFound);
    EXPECT_EQ(errorOf("C:\\Folder.bmp"), err::PathFileAccessError);
    EXPECT_EQ(errorOf("C:\\readme.txt"), err::InvalidPicture);
    EXPECT_EQ(errorOf("C:\\cut.bmp"), err::InvalidPicture);
    EXPECT_EQ(errorOf("D:\\a.bmp"), err::PathNotFound);
}

TEST_F(UiTest, ResourceIconsAreTheProgramsOwn) {
    for (int id : {199, 240, 0}) {
        try {
            ui.resourceIcon(id);
            ADD_FAILURE() << id << " gave an icon";
        } catch (const Error& error) {
            EXPECT_EQ(error.number(), err::InvalidProcedureCall);
        }
    }
    if (!QFile::exists(":/icons/200.ico")) GTEST_SKIP() << "icon resources not generated yet";
    EXPECT_EQ(ui.resourceIcon(200).size(), QSize(32, 32));
    EXPECT_EQ(ui.resourceIcon(239).size(), QSize(32, 32));
}

TEST_F(UiTest, ScriptedUiRecordsMessagesAndAnswersDialogsInOrder) {
    test::ScriptedUi scripted(system);
    scripted.messageBox("Готово", mb::Information);
    scripted.messageBox("Нет файла", mb::Critical, "Ошибка");
    ASSERT_EQ(scripted.messages().size(), 2u);
    EXPECT_EQ(scripted.messages()[0].title, "Zarvo");
    EXPECT_EQ(scripted.messages()[1].title, "Ошибка");
    EXPECT_EQ(scripted.messages()[1].style, mb::Critical);

    CommonDialog dialog("CommonDialog2", "BitMap(*.bmp)|*.bmp|");
    scripted.answerOpen("C:\\Windows\\Logow.sys");
    scripted.answerCancel();
    EXPECT_TRUE(scripted.showOpen(dialog, nullptr));
    EXPECT_FALSE(scripted.showOpen(dialog, nullptr));
    EXPECT_EQ(dialog.fileName(), "C:\\Windows\\Logow.sys");
    EXPECT_EQ(dialog.fileTitle(), "Logow.sys");
    ASSERT_EQ(scripted.openRequests().size(), 2u);
    EXPECT_EQ(scripted.openRequests()[1].dialogName, "CommonDialog2");
    EXPECT_EQ(scripted.openRequests()[1].filter, "BitMap(*.bmp)|*.bmp|");

    EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(scripted.showOpen(dialog, nullptr)), "no answer queued");
    EXPECT_NONFATAL_FAILURE(test::ScriptedUi(system).answerCancel(), "did not open");

    EXPECT_EQ(scripted.screenSizeTwips(), QSizeF(15360, 11520));
    scripted.setScreenSizePixels({800, 600});
    EXPECT_EQ(scripted.screenSizeTwips(), QSizeF(12000, 9000));
}

}  // namespace
}  // namespace zarvo
