#pragma once

#include "TestHome.h"
#include "TestMain.h"

#include <QTest>

// The main() of every test program: a private home first (see TestHome), then the application object
// QTEST_MAIN would make for the libraries the program links.
#if defined(QT_WIDGETS_LIB)
#include <QApplication>
#define TRELLICK_TEST_APPLICATION QApplication
#elif defined(QT_GUI_LIB)
#include <QGuiApplication>
#define TRELLICK_TEST_APPLICATION QGuiApplication
#else
#include <QCoreApplication>
#define TRELLICK_TEST_APPLICATION QCoreApplication
#endif

// Set by trellick_add_test(... KEYRING) to the script that makes a private keyring.
#ifndef TRELLICK_TEST_KEYRING_SCRIPT
#define TRELLICK_TEST_KEYRING_SCRIPT nullptr
#endif

#define TRELLICK_TEST_MAIN(TestObject)                                                                                 \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        const TestHome home(argv, TRELLICK_TEST_KEYRING_SCRIPT);                                                       \
        TRELLICK_TEST_APPLICATION app(argc, argv);                                                                     \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestObject test;                                                                                               \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
