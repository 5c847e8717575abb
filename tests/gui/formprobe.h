#pragma once
// Checks a form's objects by name and class, one data row per object.

#include <QList>
#include <QObject>
#include <QPair>
#include <QtTest>

// Object name and the class it must be (or derive from).
using FormObjects = QList<QPair<const char *, const char *>>;

// Adds the columns "name" and "className" and one row per object.
inline void AddFormObjectRows(const FormObjects &objects)
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    for (const auto &object : objects)
        QTest::newRow(object.first) << QString::fromLatin1(object.first) << QString::fromLatin1(object.second);
}

// The current row's object is found below root and is of its class.
inline void VerifyFormObject(const QObject *root)
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    const QObject *object = root->findChild<QObject *>(name);
    QVERIFY2(object, qPrintable(name));
    QVERIFY2(object->inherits(qPrintable(className)), object->metaObject()->className());
}
