#pragma once

#include <QGroupBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <memory>

#include "platform/system.h"
#include "platform/ui_services.h"

namespace zarvo {

class IconPage;
class WallpaperPage;
class AnimatedBootPage;
class ScreenFilePage;
class Form3;

// The main window: six stacked pages, the page selector and the button bar.
class Form1 : public QWidget {
public:
    Form1(ISystem& system, IUiServices& ui, QWidget* parent = nullptr);
    ~Form1() override;

    ISystem& system() const { return system_; }
    IUiServices& ui() const { return ui_; }

    // The top edge, in twips, that a page selection gives the window. The
    // wallpaper page puts the window low on the screen instead of centring it.
    static float pageTopTwips(float screenHeight, float windowHeight, bool lowPosition);

    // Shared with the pages.
    std::unique_ptr<IRegistryWriter> Registry;
    QString SourceFile;
    QString TargetFile;
    QString CacheFile;
    CommonDialog* CommonDialog2;
    // The application's help file name, for the platform's own F1 help.
    QString helpFile;

    IconPage* Frame1;
    QGroupBox* Frame2;
    QGroupBox* Frame3;
    WallpaperPage* Frame4;
    AnimatedBootPage* Frame5;
    ScreenFilePage* Frame6;
    ScreenFilePage* Frame7;
    ScreenFilePage* Frame8;

    QPushButton* Command3;
    QPushButton* Command4;
    QPushButton* Command5;
    QPushButton* Command26;

    QRadioButton* Option1;
    QRadioButton* Option2;
    QRadioButton* Option3;
    QRadioButton* Option6;
    QRadioButton* Option7;
    QRadioButton* Option8;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildButtonBar();
    void buildPageSelector();
    void load();
    void unload();
    void selectPage(QRadioButton* option);
    void moveToPagePosition(bool lowPosition);
    void onExit();
    void onAbout();
    void onRestart();
    void onHelp();
    template <typename Handler>
    void onClick(QAbstractButton* button, Handler handler);

    ISystem& system_;
    IUiServices& ui_;
    bool unloaded_ = false;
    // The About window while it is loaded; it has no owner and may outlive us.
    QPointer<Form3> about_;
};

}  // namespace zarvo
