#include "dlg_about.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CDlgAbout::CDlgAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("about"));
    setWindowTitle(QString::fromLatin1(kTitle));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/tessary/app_icon.png")).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto* text = new QLabel(QString::fromLatin1(kText), this);
    text->setObjectName(QStringLiteral("aboutText"));
    auto* credits = new QLabel(QString::fromLatin1(kCredits), this);
    credits->setObjectName(QStringLiteral("aboutCredits"));
    credits->setWordWrap(true);
    credits->setMinimumWidth(320);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(text);
    texts->addWidget(credits);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}
