// Answers the next modal box from the test, as a user would: the callback gets the box once it is up.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

inline void answerModal(std::function<void(QWidget *)> answer)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(box);
        }
    });
    timer->start();
}
