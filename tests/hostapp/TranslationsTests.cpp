// Qt's standard dialogs and menus speak Portuguese once the host loaded the
// Qt catalogues.
#include "hostapp/QtTranslations.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <memory>

TEST(QtTranslations, StandardDialogsAndMenusArePortuguese) {
    EXPECT_EQ(hostapp::installQtTranslations(), QStringList());
    EXPECT_EQ(hostapp::installQtTranslations(), QStringList()) << "a second call changes nothing";

    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Save);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancelar"));
    EXPECT_EQ(box.button(QDialogButtonBox::Save)->text(), QStringLiteral("Salvar"));

    // The file dialog of "Exportar" and "Salvar como".
    QFileDialog files(nullptr, QStringLiteral("Salvar como"));
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(QFileDialog::AcceptSave);
    QStringList buttons;
    for (auto* b : files.findChildren<QPushButton*>()) buttons << b->text();
    EXPECT_TRUE(buttons.contains(QStringLiteral("Cancelar"))) << buttons.join(", ").toStdString();
    EXPECT_FALSE(buttons.contains(QStringLiteral("Cancel"))) << buttons.join(", ").toStdString();
    files.resize(700, 450);
    files.show();
    QApplication::processEvents();
    const QString dir = QStringLiteral(HOSTAPP_TEST_OUTPUT_DIR "/screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(files.grab().save(dir + "/qt-file-dialog.png"));
    files.hide();

    // The line edits' context menu.
    QLineEdit edit(QStringLiteral("texto"));
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList actions;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) actions << a->text().section(QLatin1Char('\t'), 0, 0);  // without the shortcut
    EXPECT_TRUE(actions.contains(QStringLiteral("&Copiar"))) << actions.join(", ").toStdString();
    EXPECT_TRUE(actions.contains(QStringLiteral("Selecionar tudo"))) << actions.join(", ").toStdString();
}
