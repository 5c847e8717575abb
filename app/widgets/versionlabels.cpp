#include "app/widgets/versionlabels.h"

#include <QLabel>

namespace {

constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 6;
constexpr int kVersionRevision = 0;
constexpr int kVersionBuild = 8;

void AddLabel(QWidget *parent, const QString &name, const QRect &geometry, const QString &styleSheet,
              Qt::Alignment alignment, const QString &text, bool wordWrap)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setStyleSheet(styleSheet);
    label->setAlignment(alignment);
    label->setWordWrap(wordWrap);
    label->setText(text);
    label->raise();
}

} // namespace

void AddVersionLabels(QWidget *parent)
{
    // The picture leaves room for these lines at fixed places, so the positions are absolute.
    const QString version = QStringLiteral("Ver. %1.%2%3.%4 ")
                                .arg(kVersionMajor)
                                .arg(kVersionMinor)
                                .arg(kVersionRevision)
                                .arg(kVersionBuild, 4, 10, QLatin1Char('0'));
    AddLabel(parent, QStringLiteral("labelVersion"), QRect(390, 160, 120, 21),
             QStringLiteral("color : rgb(0, 135, 170); font: 10pt \"Arial\";"), Qt::AlignRight | Qt::AlignTop, version,
             false);
    AddLabel(parent, QStringLiteral("labelCopyright"), QRect(200, 200, 310, 20),
             QStringLiteral("color: rgb(102, 102, 102); font: 7pt \"Arial\";"), Qt::AlignLeft | Qt::AlignTop,
             QStringLiteral("Copyright (C) VELMAR OSTRAND, INC."), false);
    // Room for a translated notice; empty in the source language.
    AddLabel(parent, QStringLiteral("labelCopyright"), QRect(200, 220, 310, 90),
             QStringLiteral("color: rgb(102, 102, 102); font: 8pt \"Arial\";"), Qt::AlignLeft | Qt::AlignTop,
             QObject::tr(""), true);
}
