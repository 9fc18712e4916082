#include "gui/common/dialogparts.h"

#include "gui/common/errordisplay.h"

#include <QBoxLayout>
#include <QDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

void addButtonRow(QBoxLayout* layout, QDialog* window, QPushButton*& ok, const char* okName, const QString& okCaption,
    QPushButton*& cancel, const char* cancelName)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    ok = new QPushButton(okCaption, window);
    ok->setObjectName(QString::fromLatin1(okName));
    ok->setDefault(true);
    cancel = new QPushButton(QStringLiteral("Cancel"), window);
    cancel->setObjectName(QString::fromLatin1(cancelName));
    cancel->setAutoDefault(false);
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
}

void connectConfirm(QDialog* window, QPushButton* ok, std::function<void()> handler)
{
    QObject::connect(ok, &QPushButton::clicked, window, [window, handler = std::move(handler)] {
        runGuarded(handler);
        window->accept();
    });
}

QLabel* valueLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QFrame* separatorLine(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

void showAsUnused(QWidget* box)
{
    box->setEnabled(false);
    QPalette face = box->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    box->setPalette(face);
}

void centreOnScreen(QWidget* window)
{
    window->adjustSize();
    const QScreen* screen = window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}
