// The base screens: command pairs, the base delete, the navigator, and the
// routine screen's close handling.
#include "host/controls/Buttons.h"
#include "host/data/DataSet.h"
#include "host/core/Dialogs.h"
#include "host/screens/PadraoGrid.h"
#include "host/screens/RotiGeral.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QImage>
#include <QPointer>
#include <QToolButton>

using namespace hostfw;

namespace {

class Screen : public TfrmPadraoGrid {
public:
    Screen() {
        data = new TClientDataSet(this, "cdsTeste");
        data->AddField("CODIGO", TFieldType::ftString, 5);
        data->CreateDataSet();
        for (const char* code : {"A", "B", "C"}) {
            data->Append();
            data->FieldByName("CODIGO")->SetAsString(code);
            data->Post();
        }
        data->First();
        dtsPadrao->SetDataSet(data);
    }
    TClientDataSet* data;
};

}  // namespace

TEST(BaseScreens, ButtonsFollowTheirMenuItems) {
    Screen s;
    s.dtsPadraoStateChange();
    EXPECT_TRUE(s.sbtIncluir->isEnabled());
    EXPECT_FALSE(s.sbtConfirmar->isEnabled());
    TfrmPadraoGrid::SetCommand(s.mnuIncluir, false);
    EXPECT_FALSE(s.sbtIncluir->isEnabled()) << "a pair never disagrees";
    s.data->Edit();
    s.dtsPadraoStateChange();
    EXPECT_TRUE(s.sbtConfirmar->isEnabled());
    EXPECT_TRUE(s.mnuCancelar->isEnabled());
    s.data->Cancel();
}

namespace {

// Mean opacity and colourfulness of an icon's pixmap in one mode.
struct Look {
    double alpha = 0, colour = 0;
};
Look look(const QIcon& icon, QIcon::Mode mode) {
    const QImage image = icon.pixmap(QSize(22, 22), mode).toImage().convertToFormat(QImage::Format_ARGB32);
    Look out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            out.alpha += qAlpha(p);
            out.colour += qAlpha(p) * (std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)}));
        }
    return out;
}

}  // namespace

TEST(BaseScreens, ToolbarCommandsHaveHintsAndAPlainlyDifferentDisabledLook) {
    Screen s;
    for (QToolButton* b : {s.sbtIncluir, s.sbtAlterar, s.sbtExcluir, s.sbtProcurar, s.sbtVerificar, s.sbtConfirmar,
                           s.sbtCancelar, s.sbtImprimir, s.sbtAjuda, s.sbtFechar}) {
        SCOPED_TRACE(b->objectName().toStdString());
        EXPECT_FALSE(b->toolTip().isEmpty());
        const Look on = look(b->icon(), QIcon::Normal);
        const Look off = look(b->icon(), QIcon::Disabled);
        ASSERT_GT(on.alpha, 0) << "an icon is drawn";
        EXPECT_LT(off.alpha, on.alpha * 0.6) << "disabled is faint";
        EXPECT_LT(off.colour, on.colour * 0.2 + 1) << "disabled is grey";
    }
    EXPECT_EQ(s.sbtImprimir->toolTip(), QString("Imprimir"));
}

TEST(BaseScreens, BaseDeleteAsksFirstAndTheNavigatorMoves) {
    auto& dialogs = useScriptedDialogs();
    dialogs.clear();
    Screen s;
    dialogs.confirmations.push_back(false);
    s.sbtExcluirClick();
    EXPECT_EQ(s.data->RecordCount(), 3);
    EXPECT_EQ(dialogs.lastText(), QString("Confirma exclusão?"));
    s.sbtExcluirClick();
    EXPECT_EQ(s.data->RecordCount(), 2);

    int moves = 0;
    s.dbnPadrao->OnClick = [&](int) { ++moves; };
    s.dbnPadrao->findChild<QToolButton*>("nbLast")->click();
    EXPECT_EQ(s.data->RecNo(), 2);
    s.dbnPadrao->findChild<QToolButton*>("nbFirst")->click();
    EXPECT_EQ(s.data->RecNo(), 1);
    EXPECT_EQ(moves, 2);
}

TEST(BaseScreens, RoutineScreenRunsItsCloseHandlingOnce) {
    int closes = 0;
    int confirms = 0;
    class Routine : public TfrmRotiGeral {
    public:
        int* closes;
        int* confirms;
        void FormClose() override { ++*closes; }
        void sbtConfirmaClick() override { ++*confirms; }
    };
    QPointer<Routine> r = new Routine();
    r->closes = &closes;
    r->confirms = &confirms;
    r->show();
    r->sbtConfirma->Click();
    EXPECT_EQ(confirms, 1);
    r->sbtCancel->Click();
    EXPECT_EQ(closes, 1);
    if (r) r->close();
    EXPECT_EQ(closes, 1);
}
