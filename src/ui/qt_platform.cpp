#include "qt_platform.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

#include "model_conversions.h"

namespace jilan::ui {

QString defaultSuffixOf(const std::string& filter, std::size_t entry) {
    // "文本文件|*.txt|所有文件|*.*": the first pattern of the entry, when it names one.
    const QStringList parts = toQt(filter).split(QLatin1Char('|'));
    const auto patterns = static_cast<qsizetype>(2 * entry + 1);
    if (parts.size() <= patterns) {
        return {};
    }
    const QString pattern = parts[patterns].split(QLatin1Char(';')).value(0).trimmed();
    if (!pattern.startsWith(QStringLiteral("*."))) {
        return {};
    }
    const QString suffix = pattern.mid(2);
    if (suffix.isEmpty() || suffix.contains(QLatin1Char('*')) ||
        suffix.contains(QLatin1Char('?'))) {
        return {};
    }
    return suffix;
}

QtPlatform::QtPlatform() {
    QObject::connect(&ticker_, &QTimer::timeout, [this] {
        if (tick_) {
            const std::function<void()> call = tick_;  // the call may stop the ticker
            call();
        }
    });
}

QtPlatform::~QtPlatform() {
    while (blocking_ > 0) {
        blockingEnded();
    }
}

void QtPlatform::startTicker(std::function<void()> tick, int intervalMs) {
    tick_ = std::move(tick);
    ticker_.start(intervalMs);
}

void QtPlatform::stopTicker() {
    ticker_.stop();
    tick_ = nullptr;
}

void QtPlatform::blockingStarted() {
    if (blocking_++ == 0) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    // What the handler wrote so far (the query's status) is on screen before the wait,
    // without letting any other event through.
    if (window_) {
        window_->repaint();
    }
}

void QtPlatform::blockingEnded() {
    if (blocking_ > 0 && --blocking_ == 0) {
        QGuiApplication::restoreOverrideCursor();
    }
}

bool QtPlatform::notifyDesktop(const std::string& title, const std::string& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;  // no session bus: a server, or a login without a desktop
    }
    const auto method = [](const QString& name) {
        return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                              QStringLiteral("/org/freedesktop/Notifications"),
                                              QStringLiteral("org.freedesktop.Notifications"),
                                              name);
    };
    // A notification server answers at once; one that hangs must not hold the window long.
    constexpr int kAnswerWaitMs = 1500;
    // A server that reads markup in the body would take a note's "<" or "&" as markup.
    if (!bodyMarkup_) {
        const QDBusMessage caps =
            bus.call(method(QStringLiteral("GetCapabilities")), QDBus::Block, kAnswerWaitMs);
        if (caps.type() != QDBusMessage::ReplyMessage) {
            return false;
        }
        bodyMarkup_ =
            !caps.arguments().isEmpty() &&
            caps.arguments().front().toStringList().contains(QStringLiteral("body-markup"));
    }
    const QString text = *bodyMarkup_ ? toQt(body).toHtmlEscaped() : toQt(body);
    QDBusMessage call = method(QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the
    // server's default).
    call << QStringLiteral("霁岚域名回收采集器") << 0U << QStringLiteral("jilan-harvester")
         << toQt(title) << text << QStringList() << QVariantMap() << -1;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kAnswerWaitMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool QtPlatform::windowInFront() {
    return window_ && window_->isVisible() && !window_->isMinimized() && window_->isActiveWindow();
}

void QtPlatform::setWindow(QWidget* window) {
    window_ = window;
    if (window_ && skin_) {
        window_->setStyleSheet(*skin_);
    }
}

void QtPlatform::processEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

app::MessageAnswer QtPlatform::messageBox(const std::string& prompt, const std::string& title,
                                          app::MessageButtons buttons, app::MessageIcon icon) {
    const QMessageBox::Icon shown =
        icon == app::MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Information;
    QMessageBox box(shown, toQt(title), displayText(prompt), QMessageBox::NoButton, window_);
    box.setTextFormat(Qt::PlainText);
    if (buttons == app::MessageButtons::YesNoCancel) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Yes:
            return app::MessageAnswer::Yes;
        case QMessageBox::No:
            return app::MessageAnswer::No;
        case QMessageBox::Ok:
            return app::MessageAnswer::Ok;
        default:
            return app::MessageAnswer::Cancel;
    }
}

bool QtPlatform::clearClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return false;
    }
    clipboard->clear();
    return true;
}

bool QtPlatform::setClipboardText(const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return false;
    }
    const QString wanted = toQt(text);
    clipboard->setText(wanted);
    // Reading back tells whether the desktop took it.
    return clipboard->text() == wanted;
}

bool QtPlatform::openUrl(const std::string& url) {
    const std::optional<QUrl> checked = browsableUrl(url);
    if (!checked) {
        return false;
    }
    return launchUrl(*checked);
}

bool QtPlatform::launchUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

std::optional<app::SaveFileAnswer> QtPlatform::saveFileQuestion(const std::string& title,
                                                                const std::string& filter,
                                                                const std::string& initialName) {
    QFileDialog dialog(window_, toQt(title));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QString nameFilter = qtNameFilter(filter);
    const auto chosenFilter = [&dialog] {
        return static_cast<std::size_t>(
            std::max<qsizetype>(0, dialog.nameFilters().indexOf(dialog.selectedNameFilter())));
    };
    if (!nameFilter.isEmpty()) {
        dialog.setNameFilter(nameFilter);
        // A name typed without an extension gets the chosen filter's ("今日" -> "今日.txt").
        dialog.setDefaultSuffix(defaultSuffixOf(filter, 0));
        // The filter of the name offered, when one names its extension ("筛选结果.xlsx").
        const QString offered = QFileInfo(toQt(initialName)).suffix();
        for (qsizetype entry = 1; !offered.isEmpty() && entry < dialog.nameFilters().size();
             ++entry) {
            const QString suffix = defaultSuffixOf(filter, static_cast<std::size_t>(entry));
            if (suffix.compare(offered, Qt::CaseInsensitive) == 0) {
                dialog.selectNameFilter(dialog.nameFilters()[entry]);
                dialog.setDefaultSuffix(suffix);
                break;
            }
        }
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, &filter, &chosenFilter] {
                             dialog.setDefaultSuffix(defaultSuffixOf(filter, chosenFilter()));
                         });
    }
    if (!initialName.empty()) {
        dialog.selectFile(toQt(initialName));
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) {
        return std::nullopt;
    }
    return app::SaveFileAnswer{fromQt(chosen.front()), chosenFilter()};
}

std::vector<std::pair<QAction*, app::MenuItem*>> fillMenu(const app::Menu& menu, QMenu& popup) {
    std::vector<std::pair<QAction*, app::MenuItem*>> entries;
    for (app::MenuItem* item : menu.items()) {
        if (item->separator()) {
            popup.addSeparator();
            continue;
        }
        QAction* action = popup.addAction(toQt(item->caption()));
        action->setObjectName(toQt(item->name()));
        entries.emplace_back(action, item);
    }
    return entries;
}

void QtPlatform::popupMenu(app::Menu& menu) {
    QMenu popup(window_);
    popup.setObjectName(toQt(menu.name()));
    const auto entries = fillMenu(menu, popup);
    const QAction* chosen = popup.exec(QCursor::pos());
    if (chosen == nullptr) {
        return;
    }
    for (const auto& [action, item] : entries) {
        if (action == chosen) {
            item->Click.raise();
            return;
        }
    }
}

void QtPlatform::endProgram() {
    if (ended_) {
        return;
    }
    ended_ = true;
    // The window goes at once; every running event loop, nested ones included,
    // returns, and the main loop hands 0 back to main.
    if (window_) {
        window_->hide();
    }
    QCoreApplication::exit(0);
}

std::string QtPlatform::programFolder() {
    return fromQt(QCoreApplication::applicationDirPath());
}

void QtPlatform::applySkin(const std::string& styleSheet) {
    skin_ = toQt(styleSheet);
    if (window_) {
        window_->setStyleSheet(*skin_);
    }
}

std::optional<QUrl> browsableUrl(const std::string& url) {
    const QUrl parsed(toQt(url), QUrl::StrictMode);
    if (!parsed.isValid() || parsed.isRelative() || parsed.host().isEmpty()) {
        return std::nullopt;
    }
    const QString scheme = parsed.scheme().toLower();
    if (scheme != QStringLiteral("http") && scheme != QStringLiteral("https")) {
        return std::nullopt;
    }
    return parsed;
}

}  // namespace jilan::ui
