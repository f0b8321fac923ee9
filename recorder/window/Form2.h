// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The About window: who made the program, which socket of the sound card does what, and which
// cable suits which kind of recording. It has no controls; it closes through its title bar.

#include <QDialog>

#include <memory>

namespace Ui {
class Form2;
}

class Form2 : public QDialog {
    Q_OBJECT

public:
    explicit Form2(QWidget* parent = nullptr);
    ~Form2() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void Form_Load();

    std::unique_ptr<Ui::Form2> ui;
};
