// The workflow chart's elements without a database: their archives, the
// chart file, connection rules, routing, validation and delete cascades.
#include "tests/charts/workflow_support.h"

#include "charts/documents/ui/basediagramdoc.h"
#include "diagram/odcommand.h"
#include "diagram/odcontroller.h"
#include "diagram/odviewport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>

using namespace wft;
using tarnwick::IDR_SYMBOL_STATE;
using tarnwick::LoadChartSymbol;

namespace {

const std::int32_t kSentinel = 0x5EA1AB1E;

// The library's part of a state's archive, then what the caller writes, then
// a sentinel; loading it must stop exactly at the sentinel.
template <class Writer>
std::vector<std::uint8_t> ElementBytes(CODComponent& libraryPart, Writer own)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        libraryPart.CODComponent::Serialize(ar);
        own(ar);
        ar << kSentinel;
        ar.Close();
    }
    return file.Detach();
}

void LoadUpToSentinel(CObject& element, const std::vector<std::uint8_t>& bytes)
{
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    element.Serialize(ar);
    std::int32_t sentinel = 0;
    ar >> sentinel;
    EXPECT_EQ(sentinel, kSentinel) << "the element read a different number of bytes";
}

void WriteZeros(CArchive& ar, int n)
{
    for (int i = 0; i < n; ++i)
        ar << std::int32_t{0};
}


} // namespace

// ---------------------------------------------------------------- archives

TEST(WorkflowArchive, StateLoadsEverySchema)
{
    struct Case {
        std::int32_t schema;
        int trailing;          // 32-bit values after Comment
        bool newFields;        // DataAction, DataActionI, idParentState written
        bool nameString;       // DocTypeName written
        std::int32_t dataAction;
        std::string docTypeName;
    };
    const Case cases[] = {
        {0, 12, false, false, 0, ""},
        {1, 12, false, false, 0, ""},
        {2, 0, true, false, 6, "Накладная"},   // the name comes from the "DocType" label
        {3, 0, true, true, 6, "Счёт"},
        {7, 0, false, false, 0, ""},            // unknown schema: nothing more is read
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("schema " + std::to_string(c.schema));
        CAWFState proto;
        LoadChartSymbol(proto, IDR_SYMBOL_STATE);
        proto.SetDocTypeLabel("Накладная");
        const auto bytes = ElementBytes(proto, [&](CArchive& ar) {
            ar << c.schema << std::int16_t{4} << std::int32_t{1} << std::int32_t{0} << std::int32_t{1}
               << std::int32_t{0} << std::string("комментарий");
            for (int i = 0; i < c.trailing; ++i)
                ar << std::int32_t{-1};
            if (c.newFields)
                ar << std::int32_t{6} << std::int32_t{5} << std::int32_t{77};
            if (c.nameString)
                ar << std::string("Счёт");
        });
        CAWFState state;
        LoadUpToSentinel(state, bytes);
        EXPECT_EQ(state.GetState(), 4);
        EXPECT_EQ(state.GenNewOperate, 1);
        EXPECT_EQ(state.isPrevStateHole, 1);
        EXPECT_EQ(state.Comment, "комментарий");
        EXPECT_EQ(state.DataAction, c.dataAction);
        EXPECT_EQ(state.idParentState, c.newFields ? 77 : 0);
        EXPECT_EQ(state.DocTypeName, c.docTypeName);
        EXPECT_EQ(state.GetChildText("DocType"), "Накладная");
    }
}

TEST(WorkflowArchive, ForeignStateAndDocumentTypeLoadWhateverTheirNumber)
{
    for (std::int32_t number : {0, 1, 9}) {
        SCOPED_TRACE(number);
        CAWFState proto;
        LoadChartSymbol(proto, IDR_SYMBOL_STATE);
        proto.DocTypeName = "Акт";
        proto.State = 3;
        const auto bytes = ElementBytes(proto, [&](CArchive& ar) {
            ar << std::int32_t{3} << std::int16_t{3};
            WriteZeros(ar, 4);
            ar << std::string() << std::int32_t{0} << std::int32_t{0} << std::int32_t{0} << std::string("Акт");
            ar << number << std::int16_t{12} << std::int16_t{-7};
            WriteZeros(ar, 10);
        });
        CAWForeign foreign;
        EXPECT_EQ(foreign.ForeignValue1, -1);
        LoadUpToSentinel(foreign, bytes);
        EXPECT_EQ(foreign.ForeignValue1, 12);
        EXPECT_EQ(foreign.ForeignValue2, -7);
        EXPECT_EQ(foreign.DocTypeName, "Акт");
    }
    for (std::int32_t number : {0, 1, 5}) {
        SCOPED_TRACE(number);
        CAWFDocumentType proto;
        const auto bytes = ElementBytes(proto, [&](CArchive& ar) {
            ar << number << std::int32_t{70000} << std::string("Приходная накладная") << std::int16_t{-1}
               << std::int32_t{0x21};
            WriteZeros(ar, 10);
        });
        CAWFDocumentType element;
        LoadUpToSentinel(element, bytes);
        EXPECT_EQ(element.GetTypeDoc(), 70000); // beyond 16 bits
        EXPECT_EQ(element.NameDoc, "Приходная накладная");
        EXPECT_EQ(element.defState, -1);
        EXPECT_EQ(element.DocTypeOptions, 0x21);
        // Stored again: the four fields, then ten reserved zeros.
        const auto stored = tarnwick::StoreElement(element);
        ASSERT_GE(stored.size(), 40u);
        EXPECT_TRUE(std::all_of(stored.end() - 40, stored.end(), [](std::uint8_t b) { return b == 0; }));
        CAWFDocumentType back;
        tarnwick::LoadElement(back, stored);
        EXPECT_EQ(back.GetTypeDoc(), 70000);
        EXPECT_EQ(back.NameDoc, element.NameDoc);
        EXPECT_EQ(back.defState, -1);
        EXPECT_EQ(back.DocTypeOptions, 0x21);
    }
}

TEST(WorkflowArchive, LinkLoadsKindAndClampsNegativeOptions)
{
    struct Case {
        std::int16_t moveFlag;
        std::int32_t kind;
    };
    for (const Case& c : {Case{1, CAWFLink::kindMove}, Case{0, CAWFLink::kindAction}, Case{-3, CAWFLink::kindMove}}) {
        SCOPED_TRACE(c.moveFlag);
        CODLinkComponent proto;
        const std::string longScript(300, 'x');
        const auto bytes = ElementBytes(proto, [&](CArchive& ar) {
            ar << std::int32_t{1} << c.moveFlag << std::int32_t{-2} << std::int32_t{-1} << std::int32_t{-5}
               << std::int32_t{-4} << std::int32_t{-5} << std::string("шаблон") << std::string("r") << longScript;
            WriteZeros(ar, 9);
        });
        CAWFLink link;
        LoadUpToSentinel(link, bytes);
        EXPECT_EQ(link.Kind, c.kind);
        EXPECT_EQ(link.isConcurrent, 0);
        EXPECT_EQ(link.isPartialProc, 0);
        EXPECT_EQ(link.NewTypeDoc, -5);
        EXPECT_EQ(link.LinkState, 0);
        EXPECT_EQ(link.MoveOptions, 0);
        EXPECT_EQ(link.name_template, "шаблон");
        EXPECT_EQ(link.ReservedText, "r");
        EXPECT_EQ(link.FormulaScript, longScript);
    }
}

TEST(WorkflowArchive, ActionLoadsKindAndOrderLabel)
{
    struct Case {
        std::int32_t version;
        std::int32_t typeAction;
        std::int32_t expectedType;
        std::string label;
    };
    const Case cases[] = {{1, 1, 1, "(3)"}, {1, 5, 0, "(3)"}, {1, -1, 0, "(3)"}, {0, 1, 1, ""}, {2, 0, 0, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.version) + "/" + std::to_string(c.typeAction));
        CAWFAction proto;
        LoadChartSymbol(proto, tarnwick::IDR_SYMBOL_ACTION);
        const auto bytes = ElementBytes(proto, [&](CArchive& ar) {
            ar << c.version << std::int32_t{42} << c.typeAction << std::uint16_t{3} << std::string("резерв");
            WriteZeros(ar, 10);
        });
        CAWFAction action;
        LoadUpToSentinel(action, bytes);
        EXPECT_EQ(action.GetActionId(), 42);
        EXPECT_EQ(action.TypeAction, c.expectedType);
        EXPECT_EQ(action.GetOrder(), 3);
        EXPECT_EQ(action.ReservedText, "резерв");
        EXPECT_EQ(action.OrderLabel, c.label);
    }
}

TEST(WorkflowArchive, ElementsStoreTheirOwnPartAfterTheLibrarys)
{
    // Own part sizes: the library part is what a bare component of the same
    // drawing writes.
    CAWFAction action;
    LoadChartSymbol(action, tarnwick::IDR_SYMBOL_ACTION);
    action.SetActionName(5, "X", 1, 3);
    EXPECT_EQ(action.GetActionName(), "X(3)");
    CODSymbolComponent drawing;
    LoadChartSymbol(drawing, tarnwick::IDR_SYMBOL_ACTION);
    static_cast<CODTextComponent*>(drawing.FindChild("ActionName"))->SetText("X(3)");
    const std::size_t base = tarnwick::StoreElement(drawing).size();
    const auto bytes = tarnwick::StoreElement(action);
    EXPECT_EQ(bytes.size() - base, 4u + 4 + 4 + 2 + 1 + 40);

    CAWFAction back;
    tarnwick::LoadElement(back, bytes);
    EXPECT_EQ(back.GetActionName(), "X(3)");
    EXPECT_EQ(back.TypeAction, 1);
    EXPECT_EQ(tarnwick::StoreElement(back), bytes);

    CAWFAction bare;
    EXPECT_EQ(bare.GetActionName(), "???");
    bare.SetActionName(7, "Y", 1, 2);
    EXPECT_EQ(bare.GetActionId(), 7);
    EXPECT_EQ(bare.OrderLabel, "");

    EXPECT_THROW(tarnwick::LoadElement(back, {}), CArchiveException);
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2));
    EXPECT_THROW(tarnwick::LoadElement(back, cut), CArchiveException);
}

// ---------------------------------------------------------------- chart file

namespace {

struct Chart {
    CTarnwickModel* model = nullptr;
    CAWFState *s1, *s2, *s3, *stray;
    CAWForeign* foreign;
    CAWFLink *m12, *m23, *m21, *mForeign;
    CAWFCircleLink* loop;
    CAWFAction *a1, *a2, *aLoop;
};

// States 1-3 of document type 70001, a foreign state of 70002, a state whose
// document type has no element, moves, a loop, and actions on two moves.
Chart BuildChart(CTarnwickModel& model)
{
    Chart c;
    c.model = &model;
    auto* own = model.GetDocType(70001, "Заказ");
    own->TypeDoc = 70001;
    own->defState = 1;
    own->DocTypeOptions = 3;
    auto* other = model.GetDocType(70002, "Счёт");
    other->TypeDoc = 70002;
    c.s1 = AddState(model, own, 1, 0, 0);
    c.s2 = AddState(model, own, 2, 200, 0);
    c.s3 = AddState(model, own, 3, 400, 0);
    c.foreign = static_cast<CAWForeign*>(AddState(model, other, 5, 200, 300, true));
    c.foreign->ForeignValue1 = 11;
    c.stray = AddState(model, nullptr, 9, 600, 300);
    c.stray->DocTypeName = "Нет такого";
    c.m12 = AddLink(model, c.s1, c.s2);
    c.m23 = AddLink(model, c.s2, c.s3);
    c.m21 = AddLink(model, c.s2, c.s1);
    c.mForeign = AddLink(model, c.s3, c.foreign);
    c.m23->FormulaScript = "x = 1";
    c.m23->name_template = "Шаблон";
    c.loop = AddLoop(model, c.s2);
    c.a1 = AddAction(model, 10, "Провести", 1, 100, 150);
    c.a2 = AddAction(model, 11, "Списать", 2, 300, 150);
    c.aLoop = AddAction(model, 12, "Повторить", 0, 200, -150);
    AddLink(model, c.a1, c.m12);
    AddLink(model, c.a2, c.m12);
    AddLink(model, c.aLoop, c.s2); // dropped on the state: it goes to the loop
    model.m_bActionsShown = 0;
    return c;
}

} // namespace

namespace {

// What a chart made by BuildChart and read back from a file holds.
void ExpectBuiltChart(CTarnwickDoc& doc)
{
    CTarnwickModel& model = *doc.GetModel();
    EXPECT_EQ(doc.m_bFromFile, 1);
    EXPECT_EQ(model.GetKey(), -1);
    EXPECT_EQ(model.m_bActionsShown, 0);
    EXPECT_FALSE(model.IsModified());
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFState)), 4);
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWForeign)), 1);
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFCircleLink)), 1);
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFLink)), 7);
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFAction)), 3);
    ASSERT_EQ(model.m_DocTypes.GetSize(), 2);
    auto* own = static_cast<CAWFDocumentType*>(model.m_DocTypes.GetAt(0));
    auto* other = static_cast<CAWFDocumentType*>(model.m_DocTypes.GetAt(1));
    EXPECT_EQ(own->NameDoc, "Заказ");
    EXPECT_EQ(own->DocTypeOptions, 3);
    EXPECT_EQ(own->GetModel(), &model);

    int moves = 0, actionLinks = 0;
    for (CODComponent* comp : *model.GetComponents()) {
        if (auto* state = dynamic_cast<CAWFState*>(comp)) {
            if (auto* foreign = dynamic_cast<CAWForeign*>(state)) {
                EXPECT_EQ(state->GetDocTypeElement(), other);
                EXPECT_EQ(foreign->ForeignValue1, 11);
            } else if (state->GetState() == 9) {
                EXPECT_EQ(state->GetDocTypeElement(), nullptr);
            } else {
                EXPECT_EQ(state->GetDocTypeElement(), own);
                EXPECT_EQ(state->GetTypeDoc(), 70001);
            }
        }
        if (auto* link = dynamic_cast<CAWFLink*>(comp)) {
            if (link->IsDocumentMove()) {
                ++moves;
                ASSERT_NE(link->GetFromState(), nullptr);
                ASSERT_NE(link->GetToState(), nullptr);
                if (link->GetFromState()->GetState() == 2 && link->GetToState()->GetState() == 3) {
                    EXPECT_EQ(link->FormulaScript, "x = 1");
                }
                if (link->GetFromState()->GetState() == 1) {
                    EXPECT_NE(link->FindAction(10), nullptr);
                    EXPECT_NE(link->FindAction(11), nullptr);
                }
            } else {
                ++actionLinks;
            }
        }
    }
    EXPECT_EQ(moves, 5);
    EXPECT_EQ(actionLinks, 3);

}

} // namespace

TEST(WorkflowChartFile, RoundTripTiesStatesToTheirDocumentTypesByName)
{
    ShellScope scope;
    kelm::test::TempDir dir;
    const std::string path = (dir / "chart.wfa").string();
    std::string firstBytes;
    {
        CTarnwickDoc doc;
        Chart c = BuildChart(*doc.GetModel());
        EXPECT_EQ(c.loop->Kind, CAWFLink::kindMove);
        CODComponentSet onLoop;
        c.loop->GetActions(onLoop);
        ASSERT_EQ(onLoop.GetSize(), 1);
        EXPECT_EQ(onLoop.GetAt(0), c.aLoop);
        doc.GetModel()->SetModified(true);
        ASSERT_TRUE(doc.OnSaveDocument(wxString::FromUTF8(path)));
        EXPECT_FALSE(doc.GetModel()->IsModified());
        firstBytes = kelm::test::readFile(path);
    }
    // The tail: document types, the actions flag 0 and the reserve 0..19.
    ASSERT_GT(firstBytes.size(), 84u);
    const std::string tail = firstBytes.substr(firstBytes.size() - 84);
    for (std::int32_t i = 0; i < 20; ++i) {
        std::int32_t v = 0;
        std::memcpy(&v, tail.data() + 4 + 4 * i, 4);
        EXPECT_EQ(v, i);
    }

    CTarnwickDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(wxString::FromUTF8(path)));
    ExpectBuiltChart(doc);
    CTarnwickModel& model = *doc.GetModel();

    // Stored again, the file is the same byte for byte.
    const std::string again = (dir / "again.wfa").string();
    model.SetModified(true);
    ASSERT_TRUE(doc.OnSaveDocument(wxString::FromUTF8(again)));
    EXPECT_EQ(kelm::test::readFile(again), firstBytes);
}

TEST(WorkflowChartFile, StoredFileStillLoadsAndStoresTheSameBytes)
{
    // A chart file kept from an earlier build: the layout files depend on.
    ShellScope scope;
    const std::string fixture = std::string(WORKFLOW_FIXTURES) + "/chart.wfa";
    CTarnwickDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(wxString::FromUTF8(fixture)));
    ExpectBuiltChart(doc);
    kelm::test::TempDir dir;
    doc.GetModel()->SetModified(true);
    ASSERT_TRUE(doc.OnSaveDocument(wxString::FromUTF8((dir / "again.wfa").string())));
    EXPECT_EQ(kelm::test::readFile(dir / "again.wfa"), kelm::test::readFile(fixture));

    // Other values in the reserve load the same.
    std::string bytes = kelm::test::readFile(fixture);
    std::fill(bytes.end() - 80, bytes.end(), '\xAB');
    CTarnwickDoc other;
    ASSERT_TRUE(other.OnOpenDocument(wxString::FromUTF8(dir.write("reserve.wfa", bytes).string())));
    ExpectBuiltChart(other);
}

TEST(WorkflowChartFile, ABrokenFileIsReportedAndChangesNothing)
{
    ShellScope scope;
    kelm::test::TempDir dir;
    std::string bytes;
    {
        CTarnwickDoc doc;
        BuildChart(*doc.GetModel());
        ASSERT_TRUE(doc.OnSaveDocument(wxString::FromUTF8((dir / "c.wfa").string())));
        bytes = kelm::test::readFile(dir / "c.wfa");
    }
    for (std::size_t cut : {std::size_t{0}, bytes.size() / 3, bytes.size() - 40}) {
        SCOPED_TRACE(cut);
        const auto path = dir.write("broken.wfa", bytes.substr(0, cut));
        CTarnwickDoc doc;
        AddState(*doc.GetModel(), nullptr, 1, 0, 0);
        scope.shell.messages.clear();
        EXPECT_FALSE(doc.OnOpenDocument(wxString::FromUTF8(path.string())));
        ASSERT_EQ(scope.shell.messages.size(), 1u);
        EXPECT_EQ(scope.shell.messages[0], "Ошибка загрузки файла !");
    }
}

// ---------------------------------------------------------------- connection rules

TEST(WorkflowConnections, KindsAndRefusals)
{
    ShellScope scope;
    CTarnwickModel model;
    CAWFState* s1 = AddState(model, nullptr, 1, 0, 0);
    CAWFState* s2 = AddState(model, nullptr, 2, 300, 0);
    CAWFState* s3 = AddState(model, nullptr, 3, 600, 0);
    CAWFAction* action = AddAction(model, 1, "A", 0, 100, 200);
    CAWFAction* action2 = AddAction(model, 2, "B", 0, 300, 200);
    CAWFLink* move = AddLink(model, s1, s2);

    // State to state: a move with an arrow.
    EXPECT_EQ(move->Kind, CAWFLink::kindMove);
    EXPECT_EQ(move->GetLine()->GetEndDecoration(), 20);
    ASSERT_NE(move->GetLine()->GetProperty(OD_PROP_LINE), nullptr);
    EXPECT_EQ(move->GetLine()->GetProperty(OD_PROP_LINE)->GetValue(), 1);

    // Action to move: an action link without an arrow.
    CAWFLink* actionLink = AddLink(model, action, move);
    EXPECT_EQ(actionLink->Kind, CAWFLink::kindAction);
    EXPECT_EQ(actionLink->GetTargetComponent(), move);
    EXPECT_EQ(actionLink->GetLine()->GetEndDecoration(), 0);

    struct Case {
        const char* what;
        CODComponent* from;
        CODComponent* to;
    };
    const Case refused[] = {
        {"state to the same state", s3, s3},
        {"state to an action", s3, action2},
        {"action to an action link", action2, actionLink},
        {"action to a state without a loop", action2, s3},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        auto* link = new CAWFLink;
        link->AddRef();
        link->SetupLink(c.from->GetPort(), c.to->GetPort());
        EXPECT_EQ(link->GetTargetComponent(), nullptr);
        EXPECT_FALSE(link->IsDocumentMove() && link->GetToState() != nullptr);
        link->Release();
    }

    // An undecided line from a state that is dropped on an action is judged
    // as an action link (and refused there): never a move.
    CAWFLink undecided;
    undecided.SourceComponent = s3;
    EXPECT_FALSE(undecided.AcceptConnection(undecided.GetTargetPort(), action2->GetPort()));
    EXPECT_FALSE(undecided.IsDocumentMove());

    // An action dropped on a state that carries a loop ends on the loop.
    CAWFCircleLink* loop = AddLoop(model, s3);
    EXPECT_EQ(loop->Kind, CAWFLink::kindMove);
    CAWFLink* toLoop = AddLink(model, action2, s3);
    EXPECT_EQ(toLoop->GetTargetComponent(), loop);
    EXPECT_EQ(toLoop->TargetComponent, loop);
    EXPECT_EQ(loop->FindAction(2), action2);
}

TEST(WorkflowConnections, LoopRouteStaysBesideItsStateAndLeavesNoEllipse)
{
    ShellScope scope;
    CTarnwickModel model;
    CAWFState* state = AddState(model, nullptr, 2, 400, 300);
    CAWFCircleLink* loop = AddLoop(model, state);
    const CRect bounds = state->GetBounds();
    const int cx = bounds.left + 50, cy = bounds.top + 70;
    ASSERT_GT(loop->GetPointCount(), 2);
    for (int i = 0; i < loop->GetPointCount(); ++i) {
        const CPoint p = loop->GetPoint(i);
        EXPECT_GT(p.y, bounds.top + 50) << i; // below the polygon
        EXPECT_LE(std::hypot(p.x - cx, p.y - cy), 51.0) << i;
    }
    auto ellipses = [](CODComponent* c) {
        int n = 0;
        for (int i = 0; i < c->GetChildCount(); ++i)
            n += c->GetChild(i)->IsKindOf(RUNTIME_CLASS(CODEllipseComponent)) ? 1 : 0;
        return n;
    };
    EXPECT_EQ(ellipses(state), 0);

    // Without a polygon the route fails, leaves the points and no ellipse,
    // and the state still takes a loop.
    state->RemoveChild(state->FindChild("Polygon"));
    const CPoint before = loop->GetPoint(1);
    EXPECT_FALSE(loop->Route());
    EXPECT_EQ(loop->GetPoint(1), before);
    EXPECT_EQ(ellipses(state), 0);
    CAWFCircleLink* second = AddLoop(model, state);
    EXPECT_EQ(second->GetTargetComponent(), state);

    // A loop end takes neither an action nor a state whose drawing holds an ellipse.
    CAWFAction* action = AddAction(model, 1, "A", 0, 0, 600);
    CAWFCircleLink probe;
    EXPECT_FALSE(probe.AcceptConnection(probe.GetSourcePort(), action->GetPort()));

    state->AppendChild(new CODEllipseComponent(CRect(0, 0, 10, 10)));
    auto* refused = new CAWFCircleLink;
    refused->AddRef();
    refused->SetupLink(state->GetPort(), state->GetPort());
    EXPECT_EQ(refused->GetSourceComponent(), nullptr);
    refused->Release();
}

TEST(WorkflowShape, AdjustShapeGivesTheSameShapeHoweverOftenApplied)
{
    CAWFState plain, notched;
    LoadChartSymbol(plain, IDR_SYMBOL_STATE);
    LoadChartSymbol(notched, IDR_SYMBOL_STATE);
    notched.AdjustShape(true, nullptr);
    const auto polygonOf = [](CAWFState& s) { return s.FindChild("Polygon")->Vertices(); };
    const auto lineOf = [](CAWFState& s) { return s.FindChild("Line")->Vertices(); };
    const auto notchedPolygon = polygonOf(notched);
    EXPECT_EQ(notchedPolygon[2].x, 80);
    EXPECT_EQ(notchedPolygon[0].x, -80);
    EXPECT_EQ(notchedPolygon[4].x, -80);
    EXPECT_EQ(notchedPolygon[6].x, -80);
    EXPECT_EQ(lineOf(notched)[0], CPoint(-32, 25));
    EXPECT_EQ(lineOf(notched)[1], CPoint(54, 25));

    const auto notchedLine = lineOf(notched);
    plain.AdjustShape(false, nullptr);
    const auto plainPolygon = polygonOf(plain);
    const auto plainLine = lineOf(plain);
    const bool sequence[] = {true, true, false, false, true};
    for (bool flag : sequence) {
        notched.AdjustShape(flag, nullptr);
        EXPECT_EQ(polygonOf(notched), flag ? notchedPolygon : plainPolygon);
        EXPECT_EQ(lineOf(notched), flag ? notchedLine : plainLine);
    }

    // No polygon: nothing at all changes.
    CAWFState bare;
    LoadChartSymbol(bare, IDR_SYMBOL_STATE);
    bare.RemoveChild(bare.FindChild("Polygon"));
    const auto line = lineOf(bare);
    bare.AdjustShape(true, nullptr);
    EXPECT_EQ(lineOf(bare), line);
}

// ---------------------------------------------------------------- validation

TEST(WorkflowValidation, Messages)
{
    ShellScope scope;
    CTarnwickModel model;
    CAWFState* lonely = AddState(model, nullptr, 2, 0, 0);
    CAWFState* first = AddState(model, nullptr, 1, 200, 0);
    CAWFState* second = AddState(model, nullptr, 2, 400, 0);
    CAWFState* third = AddState(model, nullptr, 3, 600, 0);
    AddLink(model, first, third);
    AddLink(model, second, third);
    CAWFAction* free = AddAction(model, 1, "A", 0, 0, 300);
    CAWFAction* unbound = AddAction(model, 3, "C", 0, 0, 600);
    CAWFAction* bound = AddAction(model, 2, "B", 0, 300, 300);
    CAWFLink* firstToThird = static_cast<CAWFLink*>(model.GetComponents()->GetAt(4));
    AddLink(model, bound, firstToThird);

    auto* halfMove = new CAWFLink;
    halfMove->AddRef();
    halfMove->SetupLink(first->GetPort(), nullptr);
    model.AppendComponent(halfMove);
    halfMove->Release();

    // A move whose target end lies on an action, as a stored chart may hold
    // it (the stored connection is kept whatever the link says).
    auto* odd = new CAWFLink;
    odd->AddRef();
    odd->SetupLink(third->GetPort(), nullptr);
    auto* join = new CODConnection(odd->GetTargetPort(), free->GetPort());
    join->AddRef();
    odd->AddConnection(join);
    free->AddConnection(join);
    join->Release();
    model.AppendComponent(odd);
    odd->Release();
    ASSERT_TRUE(odd->IsDocumentMove());

    struct Case {
        const char* what;
        std::function<bool()> validate;
        std::vector<std::string>* errors;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"unconnected state", [&] { return lonely->Validate(); }, &lonely->Errors,
         {"Состояние не связано с другими состояниями."}},
        {"state 1 with outgoing moves only", [&] { return first->Validate(); }, &first->Errors, {}},
        {"state 2 with outgoing moves only", [&] { return second->Validate(); }, &second->Errors,
         {"Состояние не может быть начальным."}},
        {"state with an incoming move", [&] { return third->Validate(); }, &third->Errors, {}},
        {"move joined at its source only", [&] { return halfMove->Validate(); }, &halfMove->Errors,
         {"Переход не имеет связи с состоянием"}},
        {"move ending on an action", [&] { return odd->Validate(); }, &odd->Errors,
         {"Переход не имеет связи с состоянием"}},
        {"unconnected action", [&] { unbound->Validate(); return !unbound->Errors.empty(); }, &unbound->Errors,
         {"Действие должно быть связано с переходом"}},
        {"connected action", [&] { bound->Validate(); return !bound->Errors.empty(); }, &bound->Errors, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.validate(), !c.expected.empty());
        EXPECT_EQ(*c.errors, c.expected);
    }
}

// ---------------------------------------------------------------- delete cascades

namespace {

// Deletes one component as the controller's delete command does.
void UserDeletes(CTarnwickModel& model, CODComponent* c)
{
    model.m_bSilentRemove = 0;
    CODComponentSet set;
    set.Add(c);
    model.DeleteComponents(set);
    model.m_bSilentRemove = 1;
}

} // namespace

TEST(WorkflowDelete, StateWithLinksAsksOnceAndCascades)
{
    struct Case {
        const char* what;
        std::deque<bool> answers;
        std::vector<std::string> questions;
        int statesLeft, linksLeft, actionsLeft;
    };
    const Case cases[] = {
        {"yes: moves, loop, action links and actions go", {true},
         {"Удалять связанные с состоянием переходы?"}, 4, 1, 0},
        {"no: only the state goes", {false}, {"Удалять связанные с состоянием переходы?"}, 4, 8, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ShellScope scope;
        scope.shell.answers = c.answers;
        CTarnwickDoc doc;
        Chart chart = BuildChart(*doc.GetModel());
        CTarnwickModel& model = *doc.GetModel();
        UserDeletes(model, chart.s2);
        EXPECT_EQ(scope.shell.questions, c.questions);
        EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFState)) + CountOf(model, RUNTIME_CLASS(CAWForeign)), c.statesLeft);
        EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFLink)) + CountOf(model, RUNTIME_CLASS(CAWFCircleLink)),
                  c.linksLeft);
        EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFAction)), c.actionsLeft);
    }
}

TEST(WorkflowDelete, LoopOnTheStateIsDeletedOnceAndUndoBringsItBackOnce)
{
    ShellScope scope;
    scope.shell.answers = {true};
    CTarnwickModel model;
    CAWFState* state = AddState(model, nullptr, 2, 0, 0);
    CAWFCircleLink* loop = AddLoop(model, state);
    UserDeletes(model, state);
    EXPECT_EQ(scope.shell.questions.size(), 1u);
    EXPECT_EQ(model.GetComponentCount(), 0);
    while (model.CanUndo())
        model.Undo();
    ASSERT_EQ(model.GetComponentCount(), 2);
    EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFCircleLink)), 1);
    EXPECT_EQ(state->GetPort()->Connections().GetSize(), 2);
    EXPECT_EQ(loop->GetFromState(), state);
    EXPECT_EQ(loop->GetToState(), state);
}

TEST(WorkflowDelete, MoveWithActionsAsksOnceAndActionLinkAsksAboutItsAction)
{
    struct Case {
        const char* what;
        bool deleteActionLink;
        std::deque<bool> answers;
        std::vector<std::string> questions;
        int actionsLeft;
        int actionLinksLeft;
    };
    const Case cases[] = {
        {"move, yes", false, {true}, {"Удалять связанные с переходом действия?"}, 1, 1},
        {"move, no", false, {false}, {"Удалять связанные с переходом действия?"}, 3, 3},
        {"action link, yes", true, {true}, {"Удалять действия?"}, 2, 2},
        {"action link, no", true, {false}, {"Удалять действия?"}, 3, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ShellScope scope;
        scope.shell.answers = c.answers;
        CTarnwickDoc doc;
        Chart chart = BuildChart(*doc.GetModel());
        CTarnwickModel& model = *doc.GetModel();
        CODComponent* victim = chart.m12;
        if (c.deleteActionLink) {
            CODConnectionSet connections;
            chart.a1->GetConnections(connections);
            victim = connections.GetAt(0)->GetOwner(0) == chart.a1 ? connections.GetAt(0)->GetOwner(1)
                                                                     : connections.GetAt(0)->GetOwner(0);
        }
        UserDeletes(model, victim);
        EXPECT_EQ(scope.shell.questions, c.questions);
        EXPECT_EQ(CountOf(model, RUNTIME_CLASS(CAWFAction)), c.actionsLeft);
        int actionLinks = 0;
        for (CODComponent* comp : *model.GetComponents())
            if (auto* l = dynamic_cast<CAWFLink*>(comp); l && !l->IsDocumentMove())
                ++actionLinks;
        EXPECT_EQ(actionLinks, c.actionLinksLeft);
    }
}

TEST(WorkflowDelete, SilentRemovalAsksNothing)
{
    ShellScope scope;
    CTarnwickDoc doc;
    Chart chart = BuildChart(*doc.GetModel());
    CODComponentSet set;
    set.Add(chart.s2);
    set.Add(chart.m12);
    doc.GetModel()->DeleteComponents(set);
    EXPECT_TRUE(scope.shell.questions.empty());
    EXPECT_FALSE(doc.GetModel()->Contains(chart.s2));
}

TEST(WorkflowDelete, DeletedMoveRefreshesItsTargetsDocumentTypeLabel)
{
    ShellScope scope;
    CTarnwickModel model;
    CAWFState* from = AddState(model, nullptr, 1, 0, 0);
    CAWFState* to = AddState(model, nullptr, 2, 300, 0);
    to->GenNewOperate = 1;
    CAWFLink* move = AddLink(model, from, to);
    move->NewTypeDoc = 7;
    to->SetDocTypeLabel("Счёт");
    scope.shell.answers = {};
    UserDeletes(model, move);
    EXPECT_EQ(to->GetChildText("DocType"), "");
}

// ---------------------------------------------------------------- values and documents

TEST(WorkflowValues, FormulaScriptEncoding)
{
    using tarnwick::DecodeFormulaScript;
    using tarnwick::EncodeFormulaScript;
    EXPECT_EQ(tarnwick::TrimScript(" a "), "a");
    EXPECT_EQ(EncodeFormulaScript("a"), std::string("\x01 a", 3));
    EXPECT_EQ(EncodeFormulaScript("abcde").size(), 7u); // 5 + 2, without the two trailing NULs
    EXPECT_EQ(EncodeFormulaScript(""), "");
    for (std::size_t n : {std::size_t{1}, std::size_t{255}, std::size_t{256}, std::size_t{300}, std::size_t{70000}}) {
        SCOPED_TRACE(n);
        const std::string script(n, 'z');
        EXPECT_EQ(DecodeFormulaScript(EncodeFormulaScript(script)), script);
    }
    const std::string cyrillic = "если остаток < 0 то отказ";
    EXPECT_EQ(DecodeFormulaScript(EncodeFormulaScript(cyrillic)), cyrillic);
    // Values written with the two trailing code-0 characters read the same.
    EXPECT_EQ(DecodeFormulaScript(std::string("\x03 abc\0\0", 7)), "abc");
    EXPECT_EQ(DecodeFormulaScript(""), "");
}

TEST(WorkflowValues, DrawingsAndTemplateTables)
{
    EXPECT_FALSE(tarnwick::DrawingOf(ado::_variant_t::Null()).has_value());
    const auto empty = tarnwick::DrawingOf(ado::_variant_t::EmptyArray());
    ASSERT_TRUE(empty.has_value()); // a drawing, and one that cannot be read
    CAWFState state;
    EXPECT_THROW(tarnwick::LoadElement(state, *empty), CArchiveException);
    const std::uint8_t bytes[] = {1, 2, 3};
    EXPECT_EQ(tarnwick::DrawingOf(ado::_variant_t::FromBytes(bytes, 3)), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_THROW(tarnwick::DrawingOf(ado::_variant_t("text")), ado::_com_error);
    EXPECT_EQ(tarnwick::TemplateTableName("Operation_Document"), "Operation_DocumentTempl");
}

TEST(WorkflowDocument, ProposedFileTitle)
{
    struct Case {
        std::string title, proposed;
    };
    const Case cases[] = {
        {"Заказ: приход/расход", "Заказ__приход_расход"},
        {"a;b", "a;b"},
        {"plain", "plain"},
        {"\"q\" 'x' #1 %2 c:\\d", "_q___x___1__2_c__d"},
        {std::string(99, 'x') + " ", std::string(80, 'x')},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CBaseDiagramDoc::ProposedFileTitle(c.title), c.proposed) << c.title;
    // Cut by characters, never inside one.
    auto repeat = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += s;
        return out;
    };
    EXPECT_EQ(CBaseDiagramDoc::ProposedFileTitle(repeat("я", 50) + " " + repeat("ю", 50)),
              repeat("я", 50) + "_" + repeat("ю", 29));
}

TEST(WorkflowDocument, SaveModifiedQuestions)
{
    struct Case {
        const char* what;
        std::int32_t key;
        bool fromFile, readOnly, modified;
        std::deque<int> answers;
        std::vector<std::string> questions;
        std::vector<std::string> messages;
        bool result;
    };
    const std::string ask = "Сохранить диаграмму 'Заказ' в БД ?";
    const std::string readOnlyNotice = "Режим \"только чтение\", диаграмма не будет сохранена";
    const Case cases[] = {
        {"unchanged", 5, false, false, false, {}, {}, {}, true},
        {"read-only", 5, false, true, true, {}, {}, {readOnlyNotice}, true},
        // Yes closes only once the chart is in the database; this one has nothing it could write.
        {"yes, nothing saved", 5, false, false, true, {tarnwick::IDYES}, {ask}, {}, false},
        {"no", 5, false, false, true, {tarnwick::IDNO}, {ask}, {}, true},
        {"cancel", 5, false, false, true, {tarnwick::IDCANCEL}, {ask}, {}, false},
        {"from a file, read-only", 5, true, true, true, {tarnwick::IDNO},
         {"Диаграмма была загружена из файла!\n" + ask}, {}, true},
        {"from a file, read-only, yes", 5, true, true, true, {tarnwick::IDYES},
         {"Диаграмма была загружена из файла!\n" + ask}, {readOnlyNotice}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ShellScope scope;
        scope.shell.readOnly = c.readOnly;
        scope.shell.threeWay = c.answers;
        CTarnwickDoc doc;
        doc.SetTitle(wxString::FromUTF8("Заказ"));
        doc.GetModel()->m_nKey = c.key;
        doc.m_bFromFile = c.fromFile;
        doc.GetModel()->SetModified(c.modified);
        EXPECT_EQ(doc.OnSaveModified(), c.result);
        EXPECT_EQ(scope.shell.questions, c.questions);
        EXPECT_EQ(scope.shell.messages, c.messages);
        EXPECT_TRUE(scope.shell.sent.empty());
        // A chart that may close without saving drops its changes, so the
        // question is not asked a second time when its last view goes.
        EXPECT_EQ(doc.IsModified(), c.modified && !c.result);
    }
}

TEST(WorkflowDocument, AFileWriteThatFailsKeepsTheChartModified)
{
    kelm::test::TempDir dir;
    const std::filesystem::path occupied = dir.path() / "occupied.wfa";
    std::filesystem::create_directories(occupied / "inside");
    const std::filesystem::path targets[] = {
        dir.path() / "missing" / "chart.wfa", // the write fails
        occupied,                             // the rename fails
    };
    for (const std::filesystem::path& target : targets) {
        SCOPED_TRACE(target.string());
        ShellScope scope;
        CTarnwickDoc doc;
        AddState(*doc.GetModel(), nullptr, 1, 0, 0);
        doc.GetModel()->SetModified(true);
        EXPECT_FALSE(doc.OnSaveDocument(wxString::FromUTF8(target.string())));
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(scope.shell.messages.size(), 1u);
        EXPECT_FALSE(std::filesystem::exists(target.string() + ".tmp"));
    }
    // A write that succeeds clears it.
    ShellScope scope;
    CTarnwickDoc doc;
    AddState(*doc.GetModel(), nullptr, 1, 0, 0);
    doc.GetModel()->SetModified(true);
    EXPECT_TRUE(doc.OnSaveDocument(wxString::FromUTF8((dir.path() / "chart.wfa").string())));
    EXPECT_FALSE(doc.IsModified());
}

TEST(WorkflowDocument, AnyExceptionOutOfAFileReadIsReported)
{
    struct Throwing : CTarnwickDoc {
        bool DoOpenDocument(const wxString&) override { throw 42; }
    };
    ShellScope scope;
    kelm::test::TempDir dir;
    const std::filesystem::path file = dir.write("chart.wfa", "x");
    Throwing doc;
    bool opened = true;
    EXPECT_NO_THROW(opened = doc.OnOpenDocument(wxString::FromUTF8(file.string())));
    EXPECT_FALSE(opened);
    EXPECT_EQ(scope.shell.messages, std::vector<std::string>{"Ошибка загрузки файла !"});
}

TEST(WorkflowLayout, SymbolsGrowByWhatTheirTextsNeed)
{
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, CRect>> texts;
        std::int32_t heightGrowth;
    };
    // Fixed metrics without a display: 8 points give lines 12 units high.
    const Case cases[] = {
        {"two texts, only the last grows by 10", {{"x", CRect(0, 0, 100, 12)}, {"a\nb", CRect(0, 20, 100, 34)}}, 20},
        {"one text grows by 10", {{"a\nb", CRect(0, 20, 100, 34)}}, 10},
        {"two texts, both grow by 10", {{"a\nb", CRect(0, 0, 100, 14)}, {"a\nb", CRect(0, 20, 100, 34)}}, 20},
        {"nothing grows", {{"x", CRect(0, 0, 100, 12)}}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto* symbol = new CODSymbolComponent;
        symbol->AddRef();
        auto* polygon = new CODPolygonComponent;
        const CPoint square[] = {{0, 0}, {100, 0}, {100, 100}, {0, 100}};
        polygon->SetVertices(square, 4);
        polygon->UpdateBounds(false);
        symbol->AppendChild(polygon);
        for (const auto& [text, rect] : c.texts) {
            auto* t = new CODTextComponent;
            t->SetText(text);
            t->SetTextRect(rect);
            symbol->AppendChild(t);
        }
        symbol->UpdateBounds(false);
        const CSize before = symbol->GetSize();
        CTarnwickModel::FitSymbolToText(symbol);
        EXPECT_EQ(symbol->GetSize().cy - before.cy, c.heightGrowth);
        symbol->Release();
    }
}

TEST(WorkflowLayout, OpeningAChartAgainLeavesItsStatesAtTheSizeTheirLabelsNeed)
{
    ShellScope scope;
    CTarnwickModel model;
    auto* docType = new CAWFDocumentType(70101, "Расходная накладная");
    docType->AddRef();
    CAWFState* state = AddState(model, docType, 1, 0, 0);
    auto modelRect = [state](const char* label) { return state->FindChild(label)->GetModelBounds(); };
    // Each opening fits the symbols again; the fixed metrics need 95 units
    // for the document type's name and lines 12 units high.
    std::vector<CSize> sizes;
    for (int opening = 0; opening < 5; ++opening) {
        CTarnwickModel::FitSymbolToText(state);
        sizes.push_back(state->GetSize());
    }
    EXPECT_EQ(sizes[3], sizes[4]) << "the box keeps changing size";
    const CRect box = state->FindChild("Polygon")->GetModelBounds();
    for (const char* label : {"DocType", "DocState"}) {
        SCOPED_TRACE(label);
        const CRect text = modelRect(label);
        EXPECT_GE(text.Height(), 12);
        EXPECT_TRUE(box.left <= text.left && text.right <= box.right && box.top <= text.top &&
                    text.bottom <= box.bottom);
    }
    EXPECT_GE(modelRect("DocType").Width(), 95);
    docType->Release();
}

TEST(WorkflowLayout, LayoutPassEmptiesTheNewComponentsAndSetsTheEditFlags)
{
    ShellScope scope;
    CTarnwickDoc doc;
    CTarnwickModel& model = *doc.GetModel();
    CAWFState* state = AddState(model, nullptr, 1, 0, 0);
    model.m_NewComponents.Add(state);
    model.m_NewComponents.Add(nullptr);
    model.SetModified(true);
    std::vector<CODComponent*> prepared;
    model.FitSymbolsToText(nullptr, &doc, [&](CODComponent* c) { prepared.push_back(c); });
    EXPECT_EQ(prepared, std::vector<CODComponent*>{state});
    EXPECT_TRUE(model.m_NewComponents.IsEmpty());
    EXPECT_FALSE(doc.IsModified());
    auto* edit = dynamic_cast<CODEditProperty*>(state->GetProperty(OD_PROP_EDIT));
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->m_bValue);
    EXPECT_TRUE(edit->m_bSecond);
}

TEST(WorkflowConnections, LoopFollowsItsStateWhenTheStateMoves)
{
    ShellScope scope;
    CTarnwickModel model;
    CAWFState* state = AddState(model, nullptr, 2, 0, 0);
    CAWFCircleLink* loop = AddLoop(model, state);
    auto* move = new CODMoveCommand(&model);
    move->SetComponent(state);
    move->SetOffset(500, 200);
    ASSERT_TRUE(model.ExecuteCommand(move));
    const CRect bounds = state->GetBounds();
    for (int i = 0; i < loop->GetPointCount(); ++i) {
        const CPoint p = loop->GetPoint(i);
        EXPECT_GT(p.y, bounds.top + 50) << i;
        EXPECT_LE(std::hypot(p.x - (bounds.left + 50), p.y - (bounds.top + 70)), 51.0) << i;
    }
}

TEST(WorkflowElements, DoubleClickPostsTheirCommands)
{
    ShellScope scope;
    CTarnwickModel model;
    CAWFState* state = AddState(model, nullptr, 1, 0, 0);
    CAWFState* other = AddState(model, nullptr, 2, 300, 0);
    CAWFLink* link = AddLink(model, state, other);
    CAWFAction* action = AddAction(model, 1, "A", 0, 0, 300);
    EXPECT_TRUE(state->OnDoubleClick(OD_MK_CONTROL, CPoint()));
    EXPECT_TRUE(state->OnDoubleClick(0, CPoint()));
    EXPECT_TRUE(link->OnDoubleClick(OD_MK_CONTROL, CPoint()));
    EXPECT_TRUE(action->OnDoubleClick(0, CPoint()));
    EXPECT_EQ(scope.shell.posted, (std::vector<int>{32808, 44546, 44546, 44546}));
}

TEST(WorkflowDocument, OpenFromDatabaseSetsTheTitleAndTheOrigin)
{
    for (bool readOnly : {false, true}) {
        ShellScope scope;
        scope.shell.readOnly = readOnly;
        CTarnwickDoc doc;
        ASSERT_TRUE(doc.OpenFromDB(70001, "Заказ", false));
        EXPECT_EQ(doc.GetModel()->GetKey(), 70001);
        EXPECT_EQ(doc.m_bFromFile, 0);
        EXPECT_EQ(doc.GetTitle().utf8_string(), readOnly ? "Заказ (только чтение)" : "Заказ");
        EXPECT_FALSE(doc.IsModified());
        doc.GetModel()->SetModified(true);
        EXPECT_TRUE(doc.IsModified());
    }
}

TEST(WorkflowShape, NewLookThroughTheViewportRelaysTheLoops)
{
    ShellScope scope;
    CTarnwickModel model;
    CODViewport viewport;
    viewport.SetModel(&model);
    CAWFState* state = AddState(model, nullptr, 2, 200, 100);
    CAWFState* other = AddState(model, nullptr, 3, 500, 100);
    CAWFLink* move = AddLink(model, state, other);
    CAWFCircleLink* loop = AddLoop(model, state);
    const CPoint before = loop->GetPoint(1);
    state->AdjustShape(true, &viewport);
    const CRect bounds = state->GetBounds();
    EXPECT_EQ(bounds.left, 170); // the notches stand out by 30
    EXPECT_EQ(loop->GetPoint(1), CPoint(before.x - 30, before.y));
    for (int i = 0; i < loop->GetPointCount(); ++i)
        EXPECT_GT(loop->GetPoint(i).y, bounds.top + 50) << i;
    EXPECT_EQ(move->GetPoint(0), state->GetPort()->GetLocation());
    viewport.SetModel(nullptr);
}

TEST(WorkflowConnections, AcceptanceTable)
{
    ShellScope scope;
    CTarnwickModel model;
    CAWFState* state = AddState(model, nullptr, 1, 0, 0);
    CAWFState* other = AddState(model, nullptr, 2, 300, 0);
    CAWFState* looped = AddState(model, nullptr, 3, 600, 0);
    CAWFCircleLink* loop = AddLoop(model, looped);
    CAWFAction* action = AddAction(model, 1, "A", 0, 0, 300);
    CAWFAction* action2 = AddAction(model, 2, "B", 0, 300, 300);
    CAWFLink* move = AddLink(model, state, other);
    CAWFLink* actionLink = AddLink(model, action, move);
    ASSERT_EQ(actionLink->Kind, CAWFLink::kindAction);

    enum End { source, target };
    struct Case {
        const char* what;
        std::int32_t kind;
        End end;
        CODComponent* preset; // SourceComponent for a target end, TargetComponent for a source end
        CODComponent* other;
        bool accepted;
        std::int32_t kindAfter;
        CODComponent* recorded; // the component the link keeps for that end
    };
    const std::int32_t K0 = CAWFLink::kindUndecided, K1 = CAWFLink::kindMove, K2 = CAWFLink::kindAction;
    const Case cases[] = {
        {"undecided source on a state", K0, source, nullptr, state, true, K0, state},
        {"undecided source on an action", K0, source, nullptr, action2, true, K0, action2},
        {"undecided source on a move", K0, source, nullptr, move, true, K0, move},
        {"undecided source on an action link", K0, source, nullptr, actionLink, false, K0, nullptr},
        {"move source on a state", K1, source, nullptr, state, true, K1, state},
        {"move source on an action", K1, source, nullptr, action2, false, K1, nullptr},
        {"action link source on an action, target a move", K2, source, move, action2, true, K2, action2},
        {"action link source on an action, no target", K2, source, nullptr, action2, false, K2, nullptr},
        {"action link source on a move, target an action", K2, source, action2, move, true, K2, move},
        {"action link source on an action link", K2, source, action2, actionLink, false, K2, nullptr},
        {"action link source on a state", K2, source, action2, state, false, K2, nullptr},
        {"undecided target: state to state", K0, target, state, other, true, K1, other},
        {"undecided target: action to move", K0, target, action2, move, true, K2, move},
        {"undecided target: state to action", K0, target, state, action2, false, K0, nullptr},
        {"undecided target on its own source", K0, target, state, state, false, K0, nullptr},
        {"move target on a state", K1, target, state, other, true, K1, other},
        {"move target on an action", K1, target, state, action2, false, K1, nullptr},
        {"action link target on an action, source a move", K2, target, move, action2, true, K2, action2},
        {"action link target on a move, source an action", K2, target, action2, move, true, K2, move},
        {"action link target on a state with a loop", K2, target, action2, looped, true, K2, loop},
        {"action link target on a state without one", K2, target, action2, other, false, K2, nullptr},
        {"unknown kind", 5, target, action2, move, false, 5, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAWFLink link;
        link.Kind = c.kind;
        if (c.end == source)
            link.TargetComponent = c.preset;
        else
            link.SourceComponent = c.preset;
        CODPortComponent* end = c.end == source ? link.GetSourcePort() : link.GetTargetPort();
        EXPECT_EQ(link.AcceptConnection(end, c.other->GetPort()), c.accepted);
        EXPECT_EQ(link.Kind, c.kindAfter);
        if (c.accepted) {
            EXPECT_EQ(c.end == source ? link.SourceComponent : link.TargetComponent, c.recorded);
        }
    }
}
