#pragma once

#include <QAbstractButton>
#include <QGroupBox>
#include <QImage>
#include <QString>
#include <optional>
#include <string>

#include "app/error_dispatch.h"

namespace zarvo {

class Form1;
class ISystem;
class IUiServices;

// One page of the main window: a frame that holds its controls and their
// handlers. Pages reach the main window's shared members through form().
class Page : public QGroupBox {
public:
    Page(Form1& form, const QString& name, const QString& caption);

protected:
    Form1& form() const { return form_; }
    ISystem& system() const;
    IUiServices& ui() const;

    // Loads a picture for a preview box. A file that is no picture is worth
    // telling the user about ("Испорчена картинка"); any other failure
    // leaves the preview as it was without a word. Empty when not loaded.
    std::optional<QImage> loadPreview(const QString& windowsPath);

    // Connects a click to a handler that runs under the uncaught-error rule.
    template <typename Handler>
    void onClick(QAbstractButton* button, Handler handler) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler]() { runHandler(ui(), handler); });
    }

private:
    Form1& form_;
};

// Conversions at the boundary to the system layer, which speaks UTF-8.
inline std::string toStd(const QString& text) {
    return text.toStdString();
}

}  // namespace zarvo
