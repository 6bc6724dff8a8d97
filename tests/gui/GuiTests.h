#pragma once

// Entry points of the front-end test classes, and helpers they share.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace maroka::gui::test {

int RunMainFormTests(int argc, char** argv);
int RunDialogsTests(int argc, char** argv);
int RunUserInterfaceTests(int argc, char** argv);
int RunSessionWindowTests(int argc, char** argv);
int RunGuiSendTests(int argc, char** argv);
int RunEditorFormTests(int argc, char** argv);

// Waits (in the event loop) for the next modal window of type T and hands it
// to `act`; for driving dialogs that a call under test opens and waits for.
// A loaded machine can take seconds to show a file dialog, hence the 30 s.
template <typename T> void WhenModalAppears(std::function<void(T*)> act, int attempts = 3000)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto remaining = std::make_shared<int>(attempts);
    QObject::connect(timer, &QTimer::timeout, [timer, act, remaining] {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (modal != nullptr && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        } else if (--*remaining <= 0) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

} // namespace maroka::gui::test
