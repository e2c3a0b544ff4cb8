// Finds the window's widgets by their table names, as a user would find them by sight.
#pragma once

#include "window/frm_serial.h"
#include "window/lamp.h"
#include "window/window_constants.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

struct ShownMessage
{
    QString text;
    QString title;
    window::MessageIcon icon;
};

class WindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frm.setMessageHook(
            [this](const QString& text, const QString& title, window::MessageIcon icon) {
                messages.push_back({ text, title, icon });
            });
        frm.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
    }

    template <typename T = QWidget> T* w(const char* name)
    {
        T* found = frm.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* line(const char* name) { return w<QLineEdit>(name); }
    QPlainTextEdit* box(const char* name) { return w<QPlainTextEdit>(name); }
    QPushButton* button(const char* name) { return w<QPushButton>(name); }
    window::Lamp* lamp() { return w<window::Lamp>("Pic"); }

    window::frmSerial frm;
    std::vector<ShownMessage> messages;
};
