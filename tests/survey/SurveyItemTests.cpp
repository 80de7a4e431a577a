// Intake items on the items page: recording by the keyboard, the post check,
// numbering, saving and refusals, the column checks, keys and lookups.
#include "SurveyItemsFixture.h"
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/PeriodsPage.h"

TEST_F(SurveyItemsTest, ADayIsRecordedByTheKeyboardAndNumberedInOrder) {
    enterDay("2", kEmptyDay, "0715");
    ASSERT_TRUE(gridHasFocus());
    EXPECT_TRUE(items()->IsEmpty());
    EXPECT_EQ(storedTime("00002", kEmptyDay), std::optional<std::string>("0715"))
        << "the time is stored when the grid is entered";

    recordRow(0, "0101003", "2", "2");  // rice, two tablespoons of 25 g
    key(Qt::Key_Right);  // leaves the quantity (Tab would skip the read-only total to a new row)
    EXPECT_EQ(field("NMPRATPROD")->AsString(), QString("Arroz, tipo 1, cozido"));
    EXPECT_EQ(field("SGUNIDADE")->AsString(), "g");
    EXPECT_EQ(field("CDPRATPRODAUX")->AsString(), "000005");
    EXPECT_EQ(field("CDMEDICASE")->AsString(), "00002");
    EXPECT_EQ(field("NMMEDICASE")->AsString(), QString("Porção de 100 g"));
    EXPECT_DOUBLE_EQ(field("QTALIMINQUER")->AsFloat(), 200.0);
    postByKeyboard();
    EXPECT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();

    recordRow(1, "01002", "8", "2");  // feijoada, two ladles of 150 g
    postByKeyboard();
    EXPECT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();
    key(Qt::Key_Escape);  // the new empty row goes away

    const auto rows = stored("00002", kEmptyDay);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "001") << "the server answers 0 for an empty day";
    EXPECT_EQ(rows[0][1], "000005");
    EXPECT_EQ(rows[0][4], "200");
    EXPECT_EQ(rows[0][5], "0715") << "new rows carry the meal time";
    EXPECT_EQ(rows[1][0], "002");
    EXPECT_EQ(rows[1][1], "01002");
    EXPECT_EQ(rows[1][4], "300") << "2 x 150";
    EXPECT_EQ(items()->RecordCount(), 2);
    EXPECT_EQ(field("CDPRATPROD")->DisplayText(), "01.002") << "a dish code is shown through its picture";
    items()->First();
    EXPECT_EQ(field("CDPRATPROD")->DisplayText(), "01.01.003");
    EXPECT_EQ(field("IDTIPOINQUER")->DisplayText(), "Produto");
    saveScreenshot("survey-items-day");
}

TEST_F(SurveyItemsTest, EditingTheSecondOfThreeItemsRenumbersItToTheEnd) {
    enterDay("2", kEmptyDay);
    recordRow(0, "0101003", "2", "1");
    postByKeyboard();
    recordRow(0, "0102006", "15", "1");
    postByKeyboard();
    recordRow(1, "01002", "8", "1");
    postByKeyboard();
    key(Qt::Key_Escape);
    ASSERT_EQ(stored("00002", kEmptyDay).size(), 3u);

    items()->MoveTo(2);
    grid()->SetSelectedField(field("QTALIMMEDCAS"));
    type("3");
    postByKeyboard();
    EXPECT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();
    const auto rows = stored("00002", kEmptyDay);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2][0], "004");
    EXPECT_EQ(rows[2][1], "000017");
    EXPECT_EQ(rows[2][3], "3");
}

TEST_F(SurveyItemsTest, ThePostCheckStopsInOrderWithTheFocusOnTheColumn) {
    enterDay("2", kEmptyDay);
    screen()->sbtIncluirClick();
    processEvents();
    ASSERT_EQ(items()->State(), TDataSetState::dsInsert);
    EXPECT_EQ(column(), "IDTIPOINQUER");
    EXPECT_EQ(field("HRSERVINQ")->AsString(), "0930") << "stamped with the time of the edit";
    field("CDMEDICASE")->SetAsString("00002");

    struct Step {
        std::function<void()> fill;
        QString text;
        const char* column;
    };
    const std::vector<Step> steps = {
        {[] {}, "Tipo deve ser informado ou não existente.", "IDTIPOINQUER"},
        {[this] { field("IDTIPOINQUER")->SetAsString("1"); }, "Prato deve ser informado.", "CDPRATPROD"},
        {[this] { field("IDTIPOINQUER")->SetAsString("0"); }, "Produto deve ser informado.", "CDPRATPROD"},
        {[this] { field("CDPRATPROD")->SetAsString("0101003"); }, "Medida de porcionamento deve ser informada.",
         "CDMEDICASE"},
        {[this] { field("CDMEDICASE")->SetAsString("2"); }, "Quantidade deve ser informada.", "QTALIMMEDCAS"},
    };
    for (const Step& step : steps) {
        step.fill();
        dialogs_->clear();
        hostfw::guard([&] { grid()->SetSelectedField(field("NMPRATPROD")); });
        screen()->sbtConfirmar->click();
        processEvents();
        EXPECT_EQ(shownText(), step.text);
        EXPECT_EQ(column(), step.column) << step.text.toStdString();
        EXPECT_EQ(items()->State(), TDataSetState::dsInsert);
        if (&step == &steps.front()) EXPECT_TRUE(field("CDMEDICASE")->IsNull()) << "the missing type clears the measure";
    }

    // Posted from the measure column: its check runs (step 5) and the row is completed.
    field("QTALIMMEDCAS")->SetAsFloat(2);
    dialogs_->clear();
    hostfw::guard([&] { grid()->SetSelectedField(field("CDMEDICASE")); });
    screen()->sbtConfirmar->click();
    processEvents();
    EXPECT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
    EXPECT_EQ(items()->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(field("NMMEDICASE")->AsString(), QString("Porção de 100 g"));
    EXPECT_EQ(field("NRSEQUINQUER")->AsString(), "001");
    EXPECT_EQ(field("CDSERVFILI")->AsString(), "00002");
    EXPECT_EQ(field("DTINQUERITO")->AsDate(), kEmptyDay);
    EXPECT_EQ(field("DTINIINQU")->AsDate(), kFirstDay);
}

// The total must always be portions x weight of the measure the row holds.
TEST_F(SurveyItemsTest, ThePostStoresTheTotalOfTheMeasureTheRowHolds) {
    enterDay("2", kEmptyDay);
    recordRow(0, "0101003", "2", "2");
    postByKeyboard();
    key(Qt::Key_Escape);
    ASSERT_EQ(stored("00002", kEmptyDay).at(0).at(4), "200");

    // Another measure typed and the row posted from the measure column.
    grid()->SetSelectedField(field("CDMEDICASE"));
    type("4");
    screen()->sbtConfirmar->click();
    processEvents();
    EXPECT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
    auto rows = stored("00002", kEmptyDay);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][2], "00004");
    EXPECT_EQ(rows[0][4], "50") << "2 x 25 g, not the 200 of the old measure";

    // A measure without weight is refused at the post, the focus on the measure.
    grid()->SetSelectedField(field("CDMEDICASE"));
    grid()->InplaceLineEdit()->selectAll();
    type("3");
    dialogs_->clear();
    screen()->sbtConfirmar->click();
    processEvents();
    EXPECT_EQ(shownText(),
              QString("O peso da medida de porcionamento deve ser informado ou deve ser maior que 0."));
    EXPECT_EQ(column(), "CDMEDICASE");
    EXPECT_EQ(items()->State(), TDataSetState::dsEdit) << "nothing of the row is lost";
    EXPECT_EQ(field("CDMEDICASE")->AsString(), "00003");
    EXPECT_EQ(stored("00002", kEmptyDay).at(0).at(2), "00004");
}

TEST_F(SurveyItemsTest, AServerRefusalShowsTheLastSavedRow) {
    enterDay("1", kFirstDay);
    ASSERT_EQ(items()->RecordCount(), 4);
    // Someone else changes the first item meanwhile.
    db::execute(hostfw::hostDatabase(),
                "UPDATE ITINQUERPACI SET QTALIMMEDCAS = 5 WHERE CDPACIENTE = '000000000001' AND "
                "CDSERVFILI = '00001' AND DTINQUERITO = '2026-11-30' AND NRSEQUINQUER = '001'",
                {});
    items()->First();
    grid()->SetSelectedField(field("QTALIMMEDCAS"));
    type("2");
    dialogs_->clear();
    postByKeyboard();
    ASSERT_FALSE(dialogs_->shown.empty());
    EXPECT_EQ(dialogs_->shown.back().kind, hostfw::DialogKind::Error);
    EXPECT_EQ(items()->State(), TDataSetState::dsBrowse);
    items()->First();
    EXPECT_DOUBLE_EQ(field("QTALIMMEDCAS")->AsFloat(), 1.0) << "the grid shows the row as last saved";
    EXPECT_EQ(field("NRSEQUINQUER")->AsString(), "001");
    EXPECT_EQ(items()->ChangeCount(), 0);
}

TEST_F(SurveyItemsTest, DuplicatesAreRefusedOnlyWhileInserting) {
    enterDay("1", kFirstDay);
    recordRow(0, "0701005", "", "");  // milk, already recorded for this breakfast
    EXPECT_EQ(shownText(), QString("Produto já cadastrado."));
    EXPECT_EQ(column(), "CDPRATPROD");
    EXPECT_EQ(field("NMPRATPROD")->AsString(), QString("Leite, de vaca, integral")) << "name and unit stay";
    EXPECT_EQ(field("SGUNIDADE")->AsString(), "g");
    key(Qt::Key_Escape);
    key(Qt::Key_Escape);

    // Editing a saved row does not look for duplicates.
    items()->First();
    grid()->SetSelectedField(field("CDPRATPROD"));
    dialogs_->clear();
    grid()->SetSelectedField(field("QTALIMMEDCAS"));
    type("2");
    postByKeyboard();
    EXPECT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();

    enterDay("3", kFirstDay);
    ASSERT_EQ(items()->RecordCount(), 4);
    dialogs_->clear();
    recordRow(1, "02001", "", "");
    EXPECT_EQ(shownText(), QString("Prato já cadastrado."));
    EXPECT_TRUE(field("NMPRATPROD")->AsString().isEmpty()) << "a dish is completed only after the check";
    EXPECT_EQ(column(), "CDPRATPROD");
}

TEST_F(SurveyItemsTest, CodesQuantitiesAndWeightsAreCheckedWhenTheColumnIsLeft) {
    enterDay("2", kEmptyDay);
    recordRow(0, "0101", "", "");
    EXPECT_EQ(shownText(), QString("Código '0101' não confere com a máscara 99.99.999."))
        << "a group of the tree is no product";
    EXPECT_EQ(column(), "CDPRATPROD");
    grid()->InplaceLineEdit()->selectAll();
    dialogs_->clear();
    type("0101999");
    key(Qt::Key_Tab);
    EXPECT_EQ(shownText(), QString("Produto não cadastrado."));
    EXPECT_EQ(column(), "CDPRATPROD");
    grid()->InplaceLineEdit()->selectAll();
    dialogs_->clear();
    type("0101003");
    key(Qt::Key_Tab);  // to the measure: the read-only name and unit are skipped
    EXPECT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
    type("99");
    key(Qt::Key_Tab);
    EXPECT_EQ(shownText(), QString("Medida não cadastrada para o produto informado."));
    EXPECT_TRUE(field("NMMEDICASE")->IsNull());
    grid()->InplaceLineEdit()->selectAll();
    type("3");
    key(Qt::Key_Tab);
    type("0,0004");
    dialogs_->clear();
    key(Qt::Key_Tab);
    EXPECT_EQ(shownText(), QString("O peso do produto deve ser maior que 0."));
    EXPECT_EQ(column(), "QTALIMMEDCAS");
    grid()->InplaceLineEdit()->selectAll();
    type("1");
    dialogs_->clear();
    key(Qt::Key_Tab);
    EXPECT_EQ(shownText(),
              QString("O peso da medida de porcionamento deve ser informado ou deve ser maior que 0."));
    EXPECT_EQ(column(), "CDMEDICASE");
    EXPECT_EQ(items()->State(), TDataSetState::dsInsert);

    // Leaving the type column of the new row clears the code, name and unit.
    grid()->SetSelectedField(field("IDTIPOINQUER"));
    key(Qt::Key_Tab);
    EXPECT_TRUE(field("CDPRATPROD")->IsNull());
    EXPECT_TRUE(field("NMPRATPROD")->IsNull());
    EXPECT_TRUE(field("CDMEDICASE")->IsNull()) << "a new code needs its measure again";
}

TEST_F(SurveyItemsTest, KeysFollowTheCellsRules) {
    enterDay("1", kFirstDay);
    items()->First();
    // A saved row's code cell takes no typing.
    grid()->SetSelectedField(field("CDPRATPROD"));
    type("9");
    EXPECT_EQ(items()->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(field("CDPRATPROD")->AsString(), "0701005");
    // The quantity: no signs, one comma and never first.
    grid()->SetSelectedField(field("QTALIMMEDCAS"));
    key(Qt::Key_F2);
    grid()->InplaceLineEdit()->clear();
    type(",1*+-/,5,");
    EXPECT_EQ(grid()->InplaceLineEdit()->text().toStdString(), "1,5");
    type("-2,");
    EXPECT_EQ(grid()->InplaceLineEdit()->text().toStdString(), "1,52");
    key(Qt::Key_Delete);
    EXPECT_EQ(grid()->InplaceLineEdit()->text().toStdString(), "1,52") << "Delete erases nothing";
    key(Qt::Key_Home);
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(items()->RecordCount(), 4) << "no row is deleted from the keyboard";
    key(Qt::Key_Escape);
    // The type cell never takes typing.
    grid()->SetSelectedField(field("IDTIPOINQUER"));
    type("Prato");
    EXPECT_EQ(field("IDTIPOINQUER")->AsString(), "0");
    // The interaction column is never edited; Down or Tab turn editing back on.
    grid()->SetSelectedField(field("IDVERMEDICA"));
    EXPECT_FALSE(grid()->Options() & hostfw::dgEditing);
    key(Qt::Key_Tab);
    EXPECT_TRUE(grid()->Options() & hostfw::dgEditing);
}

TEST_F(SurveyItemsTest, TypeTextsComeFromTheMessagesAndUnknownValuesShowNothing) {
    enterDay("2", kEmptyDay);
    screen()->sbtIncluirClick();
    hostfw::TField* type = field("IDTIPOINQUER");
    type->SetText("Prato");
    EXPECT_EQ(type->AsString(), "1");
    type->SetText("Bebida");
    EXPECT_EQ(type->AsString(), "1") << "an unknown text leaves the type";
    type->SetAsString("0");
    EXPECT_EQ(type->DisplayText(), "Produto");
    field("CDPRATPROD")->SetAsString("0101003");
    type->SetAsString("7");
    EXPECT_TRUE(type->DisplayText().isEmpty());
    EXPECT_TRUE(field("CDPRATPROD")->DisplayText().isEmpty()) << "no picture for an unknown type";
}

TEST_F(SurveyItemsTest, LookupsListLeavesAndFillTheRow) {
    enterDay("2", kEmptyDay);
    key(Qt::Key_Insert);
    chooseType(0);
    key(Qt::Key_Tab);
    ASSERT_EQ(column(), "CDPRATPROD");
    hostfw::LookupRequest seen;
    dialogs_->onLookup = [&](const hostfw::LookupRequest& r) { seen = r; };
    hostfw::LookupAnswer pick;
    pick.accepted = true;
    pick.row = 2;
    dialogs_->lookups.push_back(pick);
    // The patient's recent foods come first: rice is picked where the list has it.
    dialogs_->onLookup = [&](const hostfw::LookupRequest& r) {
        seen = r;
        const int code = r.dataSet->FieldByName("CDARVPROD")->Index();
        for (int row = 0; row < r.dataSet->RecordCount(); ++row)
            if (r.dataSet->ValueAt(row, code).toString() == "0101003") dialogs_->lookups.front().row = row;
    };
    key(Qt::Key_Return, Qt::ControlModifier);
    dialogs_->onLookup = [&](const hostfw::LookupRequest& r) { seen = r; };
    EXPECT_EQ(seen.title, "Produto");
    EXPECT_EQ(seen.emptyText, QString("Não há produto cadastrado."));
    ASSERT_NE(seen.dataSet, nullptr);
    for (int row = 0; row < seen.dataSet->RecordCount(); ++row)
        ASSERT_EQ(seen.dataSet->ValueAt(row, seen.dataSet->FieldByName("CDARVPROD")->Index()).toString().size(), 7)
            << "only leaf products";
    EXPECT_EQ(field("CDPRATPROD")->AsString(), "0101003");
    EXPECT_EQ(field("CDPRATPRODAUX")->AsString(), "000005");
    EXPECT_EQ(grid()->InplaceEditorText(), "0101003");

    // The measure lookup lists the product's measures (Tab skips name and unit).
    key(Qt::Key_Tab);
    pick.row = 1;
    dialogs_->lookups.push_back(pick);
    key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(seen.title, QString("Medida de Porcionamento"));
    EXPECT_EQ(field("CDMEDICASE")->AsString(), "00002");

    // A dish from the dish lookup: leaves of the branch and common ones.
    key(Qt::Key_Escape);
    key(Qt::Key_Escape);
    key(Qt::Key_Insert);
    chooseType(1);
    key(Qt::Key_Tab);
    pick.row = 0;
    dialogs_->lookups.push_back(pick);
    key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(seen.title, "Prato");
    EXPECT_EQ(seen.emptyText, QString("Não há prato cadastrado."));
    for (int row = 0; row < seen.dataSet->RecordCount(); ++row) {
        const QString owner = seen.dataSet->ValueAt(row, seen.dataSet->FieldByName("CDFILAUXPRAT")->Index()).toString();
        EXPECT_TRUE(owner == "0001" || owner == "P") << owner.toStdString();
        EXPECT_EQ(seen.dataSet->ValueAt(row, seen.dataSet->FieldByName("CDPRATO")->Index()).toString().size(), 5);
    }
    EXPECT_EQ(field("CDPRATPROD")->AsString(), "01001");
    EXPECT_EQ(field("CDPRATPRODAUX")->AsString(), "01001");
    EXPECT_EQ(field("NMPRATPROD")->AsString(), QString("Frango grelhado com legumes"));
    EXPECT_EQ(field("CDFILAUXPRAT")->AsString(), "P");
}

TEST_F(SurveyItemsTest, TheMealTimeIsSavedOnlyWhenItChanged) {
    enterDay("1", kFirstDay);
    EXPECT_EQ(screen()->items()->medHorario->Text(), "07:00");
    // Stored meanwhile by someone else: an unchanged edit sends nothing.
    db::execute(hostfw::hostDatabase(),
                "UPDATE HORAINQPACI SET HRSERVINQ = '0815' WHERE CDPACIENTE = '000000000001' AND "
                "CDSERVFILI = '00001' AND DTINQUERITO = '2026-11-30'",
                {});
    focus(screen()->items()->depInquerito);
    focus(grid());
    EXPECT_EQ(storedTime("00001", kFirstDay), std::optional<std::string>("0815"));
    EXPECT_EQ(items()->RecordCount(), 4);

    focus(screen()->items()->medHorario);
    screen()->items()->medHorario->SetText("0800");
    focus(grid());
    EXPECT_EQ(storedTime("00001", kFirstDay), std::optional<std::string>("0800"));
    screen()->sbtIncluirClick();
    EXPECT_EQ(field("HRSERVINQ")->AsString(), "0800");
}

TEST_F(SurveyItemsTest, TheMealTimeIsNormalisedWhenLeft) {
    struct Case {
        const char* typed;
        const char* shown;
        const char* message;
    };
    const Case cases[] = {{"7 5 ", "07:05", nullptr},
                          {"12", "12:00", nullptr},
                          {"2359", "23:59", nullptr},
                          {"", "  :  ", nullptr},
                          {"2400", "24:00", "'24:00' não é um hora válida."},
                          {"2360", "23:60", "'23:60' não é um hora válida."}};
    for (const Case& c : cases) {
        focus(screen()->items()->medHorario);
        screen()->items()->medHorario->SetText(QString());
        screen()->items()->medHorario->SetText(QString::fromUtf8(c.typed));
        dialogs_->clear();
        focus(screen()->items()->depInquerito);
        EXPECT_EQ(screen()->items()->medHorario->Text(), QString::fromUtf8(c.shown)) << c.typed;
        if (c.message) {
            EXPECT_EQ(shownText(), QString::fromUtf8(c.message));
            EXPECT_EQ(QApplication::focusWidget(), screen()->items()->medHorario);
        } else {
            EXPECT_TRUE(dialogs_->shown.empty()) << c.typed << ": " << shownText().toStdString();
        }
    }
}

