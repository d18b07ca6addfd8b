#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

// Closes every modal message box as soon as it is shown, and keeps its text: for widget tests whose
// code under test waits in a box's exec. It looks for the box from the event loop, which runs inside
// that exec.
class MessageBoxCloser : public QObject {
public:
    explicit MessageBoxCloser(QObject *parent = nullptr) : QObject(parent)
    {
        mTimer.setInterval(10);
        connect(&mTimer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            mTexts << box->text();
            mParents << box->parentWidget();
            box->done(QMessageBox::Ok);
        });
        mTimer.start();
    }

    const QStringList &texts() const { return mTexts; }
    const QList<QWidget *> &parents() const { return mParents; }
    void clear()
    {
        mTexts.clear();
        mParents.clear();
    }

private:
    QTimer mTimer;
    QStringList mTexts;
    QList<QWidget *> mParents;
};
