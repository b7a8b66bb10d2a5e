#pragma once

#include <QAbstractButton>
#include <QGroupBox>
#include <QImage>
#include <QList>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "widgets/error_dispatch.h"
#include "widgets/page_context.h"

class QRect;

namespace zarvo {

class PathField;

// One page of the main window: a frame that holds its controls and their
// handlers. A page knows only the context it is given, never the window.
class Page : public QGroupBox {
public:
    Page(PageContext& context, QWidget* parent, const QString& name, const QString& caption);

    // The window's load step for this page: hides its path fields and sets
    // its controls as the program starts with them.
    virtual void load();

protected:
    PageContext& context() const { return context_; }
    ISystem& system() const { return context_.system; }
    IUiServices& ui() const { return context_.ui; }
    // The title a page's own message boxes carry: the window's caption.
    QString windowCaption() const;

    // A path field of this page, hidden by the load step.
    PathField* addPathField(const QString& name, const QRect& geometry, const QString& text);

    // Loads a picture for a preview box. A file that is no picture is worth
    // telling the user about ("Испорчена картинка"); any other failure
    // leaves the preview as it was without a word; a picture too large to
    // decode is told with its size. `box`, when valid, is the size it is
    // shown at. Empty when not loaded.
    std::optional<QImage> loadPreview(const QString& windowsPath, QSize box = QSize());

    // Shows the open-file dialog with `added` filters after its own, which
    // stay first and the default, and are all it keeps afterwards: the
    // dialog is shared with pages that add nothing.
    void showOpenAdding(CommonDialog& dialog, const QString& added);
    // The pictures the program makes into what Windows 98 shows, and the
    // screen files --make-screen writes.
    static const QString kPicturesFilter;
    static const QString kScreenFilesFilter;

    // Connects a click to a handler that runs under the uncaught-error rule.
    template <typename Handler>
    void onClick(QAbstractButton* button, Handler handler) {
        connect(button, &QAbstractButton::clicked, this, [this, handler]() {
            runHandler(ui(), handler);
            if (context_.afterClick) context_.afterClick();
        });
    }

private:
    PageContext& context_;
    QList<PathField*> pathFields_;
};

// Conversions at the boundary to the layers below, which speak UTF-8.
inline std::string toStd(const QString& text) {
    return text.toStdString();
}
inline QString fromStd(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace zarvo
