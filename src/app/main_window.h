#pragma once

#include <QGroupBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <memory>
#include <vector>

#include "widgets/page_context.h"

namespace zarvo {

class Form3;
class Page;
class RegistryStepWatch;

// The main window: six stacked pages, the page selector and the button bar.
// It lays the pages out and loops over them; what a page's controls do is
// the page's own business.
class Form1 : public QWidget {
public:
    Form1(ISystem& system, IUiServices& ui, QWidget* parent = nullptr);
    ~Form1() override;

    // The top edge, in twips, that a page selection gives the window. The
    // wallpaper page puts the window low on the screen instead of centring it.
    static float pageTopTwips(float screenHeight, float windowHeight, bool lowPosition);

    // After the click that first stores a value in `watch`, the window says
    // in a box of its own, which does not block it, how Windows takes it.
    void sayRegistryStep(RegistryStepWatch& watch);

    // The application's help file name, for the platform's own F1 help.
    const QString& helpFile() const { return helpFile_; }

    QGroupBox* buttonBar;        // Frame2
    QGroupBox* pageSelector;     // Frame3
    QPushButton* restartButton;  // Command3
    QPushButton* exitButton;     // Command4
    QPushButton* aboutButton;    // Command5
    QPushButton* helpButton;     // Command26

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct PageChoice {
        Page* page;
        QRadioButton* option;
        QString optionName;
        QString caption;
        QRect optionGeometry;
        // The wallpaper page puts the window low on the screen.
        bool lowPosition;
    };

    void addPage(Page* page, const QString& optionName, const QString& caption,
                 const QRect& optionGeometry, bool lowPosition = false);
    void buildButtonBar();
    void buildPageSelector();
    void load();
    void unload();
    void selectPage(const PageChoice& choice);
    void moveToPagePosition(bool lowPosition);
    void onExit();
    void onAbout();
    void onRestart();
    void onHelp();
    template <typename Handler>
    void onClick(QAbstractButton* button, Handler handler);

    ISystem& system_;
    IUiServices& ui_;
    std::unique_ptr<PageContext> context_;
    std::vector<PageChoice> pages_;
    QString helpFile_;
    bool unloaded_ = false;
    // The About window while it is loaded; it has no owner and may outlive us.
    QPointer<Form3> about_;
};

}  // namespace zarvo
