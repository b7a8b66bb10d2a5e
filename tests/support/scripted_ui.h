#pragma once

// User-interface services for tests: message boxes are recorded instead of
// shown, the open-file dialog answers from a queue the test fills, and the
// screen has a size the test chooses. Pictures and icons load for real.

#include <QSize>
#include <QSizeF>
#include <deque>
#include <optional>
#include <vector>

#include "ui/qt_ui_services.h"

namespace zarvo::test {

class ScriptedUi : public QtUiServices {
public:
    struct Message {
        QString text;
        int style = 0;
        QString title;  // already "Zarvo" when the caller gave none
        bool modal = true;
        QWidget* parent = nullptr;  // of a box that does not block
    };
    // One open-file dialog that was shown.
    struct OpenRequest {
        QString dialogName;  // the CommonDialog's objectName
        QString filter;
    };

    explicit ScriptedUi(ISystem& system);
    // Answers never asked for fail the test: a dialog it expected did not open.
    ~ScriptedUi() override;

    void messageBox(const QString& text, int style, const QString& title = QString()) override;
    void noticeBox(const QString& text, int style, const QString& title, QWidget* parent) override;
    bool showOpen(CommonDialog& dialog, QWidget* parent) override;
    QSizeF screenSizeTwips() override;

    const std::vector<Message>& messages() const { return messages_; }
    void clearMessages() { messages_.clear(); }

    // The next dialog chooses this Windows path.
    void answerOpen(const QString& windowsPath);
    // The next dialog is cancelled.
    void answerCancel();
    std::size_t pendingAnswers() const { return answers_.size(); }
    const std::vector<OpenRequest>& openRequests() const { return openRequests_; }

    void setScreenSizeTwips(QSizeF twips) { screenTwips_ = twips; }
    void setScreenSizePixels(QSize pixels) { screenTwips_ = QSizeF(pixels) * 15; }

private:
    std::vector<Message> messages_;
    std::deque<std::optional<QString>> answers_;  // nullopt is a cancel
    std::vector<OpenRequest> openRequests_;
    QSizeF screenTwips_{1024 * 15, 768 * 15};
};

}  // namespace zarvo::test
