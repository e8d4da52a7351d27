#include "charts/documents/core/diagrammodel.h"
#include "charts/elements/chartsymbols.h"
#include "charts/shell/core/chartprogress.h"
#include "charts/shell/core/chartshell.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>

using namespace tarnwick;

namespace {

std::int32_t readLong(ado::_RecordsetPtr& rs, const char* column, std::int32_t ifNull)
{
    const ado::_variant_t v = rs->GetCollect(column);
    return v.vt == ado::VT_NULL || v.vt == ado::VT_EMPTY ? ifNull : v.ToLong();
}

std::int16_t readShort(ado::_RecordsetPtr& rs, const char* column, std::int16_t ifNull)
{
    const ado::_variant_t v = rs->GetCollect(column);
    return v.vt == ado::VT_NULL || v.vt == ado::VT_EMPTY ? ifNull : v.ToShort();
}

std::string readString(ado::_RecordsetPtr& rs, const char* column)
{
    const ado::_variant_t v = rs->GetCollect(column);
    return v.vt == ado::VT_NULL || v.vt == ado::VT_EMPTY ? std::string() : v.ToString();
}

ado::_RecordsetPtr openRows(const std::string& sql)
{
    ado::_RecordsetPtr rs;
    rs.CreateInstance("ADODB.Recordset");
    rs->Open(ado::_variant_t(sql), ChartShell().Connection(), ado::adOpenForwardOnly, ado::adLockReadOnly,
             ado::adCmdText);
    return rs;
}

// A component made fresh for each try: one that failed to read its drawing
// is thrown away whole rather than shown half read.
template <class T>
struct Fresh {
    T* p = nullptr;
    template <class... A>
    explicit Fresh(A&&... args) : p(new T(std::forward<A>(args)...)) { p->AddRef(); }
    ~Fresh()
    {
        if (p)
            p->Release();
    }
    Fresh(const Fresh&) = delete;
    Fresh& operator=(const Fresh&) = delete;
    template <class... A>
    void Renew(A&&... args)
    {
        T* next = new T(std::forward<A>(args)...);
        next->AddRef();
        p->Release();
        p = next;
    }
};

// Reads a stored drawing into an element; a drawing that cannot be read is
// noted with its element, and the element is made anew from its symbol.
template <class T, class... A>
bool readDrawing(Fresh<T>& element, const std::optional<std::vector<std::uint8_t>>& drawing,
                 std::vector<std::string>& unreadable, const std::string& what, A&&... args)
{
    // An empty array is a row without a drawing, not a broken one.
    if (!drawing || drawing->empty())
        return false;
    try {
        LoadElement(*element.p, *drawing);
        return true;
    } catch (const CException& e) {
        unreadable.push_back(what + ": " + e.what());
        element.Renew(std::forward<A>(args)...);
        return false;
    }
}

std::string idText(const char* column, std::int32_t id)
{
    return std::string(column) + " " + std::to_string(id);
}

} // namespace

bool CTarnwickModel::LoadFromDB(std::int32_t key, bool build)
{
    CDiagramModel::LoadFromDB(key, build);
    std::int16_t grp = -1, type = -1;
    // Without a connection the chart has no operation; only a build needs one.
    if (ChartShell().Connection()) {
        try {
            ado::_RecordsetPtr rs = openRows("SELECT * FROM ProdDocType WHERE TypeDoc = " + std::to_string(key));
            if (!rs->IsEOF()) {
                type = readShort(rs, "Type", 0);
                grp = readShort(rs, "Grp", 0);
            }
            rs->Close();
        } catch (const ado::_com_error& e) {
            ShowChartComError(e);
            return false;
        }
    }
    Grp = grp;
    Type = type;
    m_nKey = key;
    if (!build)
        return true;
    ado::_ConnectionPtr connection = ChartShell().Connection();
    if (!connection || connection->GetState() != ado::adStateOpen)
        return false;

    bool result = true;
    IChartProgress& progress = ChartProgress();
    progress.BeginProgress("Загрузка диаграммы...", 0, 30);
    try {
        progress.StepProgress();
        BuildFromDB();
        progress.StepProgress();
        progress.StepProgress();
    } catch (const ado::_com_error& e) {
        // One box: the cause goes under the load's own text.
        result = false;
        std::string cause = e.Description().str();
        if (cause.empty())
            cause = e.ErrorMessage();
        ChartShell().Message("Ошибка загрузки графической компоненты Диаграммы\n" + cause, "",
                             ChartIcon::Stop);
    } catch (...) {
        result = false;
        ChartShell().Message("Ошибка загрузки графической компоненты Диаграммы", "", ChartIcon::Stop);
    }
    progress.EndProgress();
    try {
        if (result && !HasConsistentStates()) {
            result = false;
            ChartShell().Message("Диаграмма не соответствует настройке документооборота в БД!\n"
                                 "Рекомендуется обновить диаграмму!",
                                 "", ChartIcon::None);
        }
    } catch (const ado::_com_error& e) {
        result = false;
        ShowChartComError(e);
    }
    ShowIsolatedStates(m_bIsolatedShown != 0);
    return result;
}

void CTarnwickModel::BuildFromDB(bool fromSymbols, const std::function<void()>& step)
{
    auto drawingOf = [fromSymbols](const ado::_variant_t& value) {
        return fromSymbols ? std::nullopt : DrawingOf(value);
    };
    m_KeptStateIds.clear();
    m_KeptMoveIds.clear();
    // The catalogue's names are read once for the whole build, not once per row.
    struct NameCacheScope {
        CTarnwickModel& model;
        ~NameCacheScope() { model.m_NameCache.reset(); }
    } nameCacheScope{*this};
    m_NameCache.emplace();
    if (Grp != -1) {
        try {
            std::map<std::int32_t, std::string> stateNames;
            ado::_RecordsetPtr names =
                openRows("SELECT State, NameState FROM ProdDocState WHERE Grp = " + std::to_string(Grp));
            for (; !names->IsEOF(); names->MoveNext())
                stateNames.emplace(readLong(names, "State", -1), names->GetCollect("NameState").ToString());
            names->Close();
            m_NameCache->stateNames = std::move(stateNames);
        } catch (const ado::_com_error&) {
            // Each state's own look-up then reports what fails.
        }
    }
    std::vector<std::string> skipped, unreadable;
    const std::string key = std::to_string(GetKey());
    // The rows are counted as they are read: what the chart is built from is
    // what its save expects to find.
    ChartRowsVersion version;
    const std::string select = "SELECT " + ChartRowsVersion::SelectList(ChartShell().Connection()->GetDialect());

    ado::_RecordsetPtr rs = openRows(select + " FROM MainDocType WHERE TypeDoc = " + key);
    for (; !rs->IsEOF(); rs->MoveNext())
        version.AddRow(ChartTable::DocType, *rs.GetInterfacePtr());
    rs->Close();

    rs = openRows(select + " FROM MainDocState WHERE TypeDoc = " + key);
    for (; !rs->IsEOF(); rs->MoveNext()) {
        version.AddRow(ChartTable::State, *rs.GetInterfacePtr());
        const std::int32_t idState = readLong(rs, "idState", 0);
        std::int32_t typeDoc = readLong(rs, "TypeDoc", -1);
        std::int16_t stateNo = readShort(rs, "State", -1);
        const std::int32_t genNewOperate = readLong(rs, "GenNewOperate", 0);
        const std::int32_t isHoleProcess = readLong(rs, "isHoleProcess", 0);
        const std::int32_t isPrevStateHole = readLong(rs, "isPrevStateHole", 0);
        const std::int32_t isTakePrevState = readLong(rs, "isTakePrevState", 0);
        const std::string comment = readString(rs, "Comment");
        if (CAWFState* known = fromSymbols && typeDoc != -1 ? FindState(typeDoc, stateNo) : nullptr) {
            if (known->GenNewOperate != genNewOperate || known->isHoleProcess != isHoleProcess ||
                known->isPrevStateHole != isPrevStateHole || known->isTakePrevState != isTakePrevState) {
                known->GenNewOperate = genNewOperate;
                known->isHoleProcess = isHoleProcess;
                known->isPrevStateHole = isPrevStateHole;
                known->isTakePrevState = isTakePrevState;
                known->Comment = comment;
            }
            known->DataAction = readLong(rs, "DataAction", 0);
            known->DataActionI = readLong(rs, "DataActionI", 0);
            known->idParentState = readLong(rs, "idParentState", 0);
            continue;
        }
        std::string stateName = "State";
        if (typeDoc == -1 && Grp != -1 && Type != -1) {
            if (!CreateStatePrompt().ChooseState(Grp, GetKey(), *this, stateNo, stateName)) {
                m_KeptStateIds.push_back(idState);
                skipped.push_back("состояние без типа документа (" + idText("idState", idState) + ")");
                continue;
            }
            typeDoc = GetKey();
        } else if (typeDoc != -1) {
            stateName = GetNameState(stateNo);
        }
        const std::string docName = GetNameDoc(typeDoc);
        char label[32];
        std::snprintf(label, sizeof label, "%d:", static_cast<int>(stateNo));
        CAWFDocumentType* docType = GetDocType(typeDoc, docName);

        Fresh<CAWFState> state(docType, static_cast<std::int16_t>(-1));
        if (!readDrawing(state, drawingOf(rs->GetCollect("GraphInfo")), unreadable,
                         "состояние " + std::to_string(stateNo) + " (" + idText("idState", idState) + ")", docType,
                         static_cast<std::int16_t>(-1))) {
            LoadChartSymbol(*state.p, IDR_SYMBOL_STATE);
            state.p->AdjustShape(genNewOperate != 0, nullptr);
            state.p->SetData(stateNo, genNewOperate != 0 ? std::string() : docName, label + stateName, docName);
            m_NewComponents.Add(state.p);
        }
        state.p->DataAction = readLong(rs, "DataAction", 0);
        state.p->DataActionI = readLong(rs, "DataActionI", 0);
        state.p->idParentState = readLong(rs, "idParentState", 0);
        state.p->GenNewOperate = genNewOperate;
        state.p->isHoleProcess = isHoleProcess;
        state.p->isPrevStateHole = isPrevStateHole;
        state.p->isTakePrevState = isTakePrevState;
        state.p->Comment = comment;
        RemoveDanglingConnections(state.p);
        AppendComponent(state.p);
    }
    rs->Close();
    if (step)
        step();

    // Look-ups by key, each giving what FindState and FindMove give (the
    // first match in component order), without a walk of the chart per row.
    std::map<std::pair<std::int32_t, std::int32_t>, CAWFState*> statesByKey;
    for (CODComponent* c : *GetComponents())
        if (auto* s = dynamic_cast<CAWFState*>(c))
            statesByKey.emplace(std::make_pair(s->GetTypeDoc(), static_cast<std::int32_t>(s->GetState())), s);
    auto findState = [&](std::int32_t typeDoc, std::int32_t number) -> CAWFState* {
        auto it = statesByKey.find({typeDoc, number});
        return it == statesByKey.end() ? nullptr : it->second;
    };

    rs = openRows(select + " FROM MainDocMove WHERE TypeDoc = " + key);
    for (; !rs->IsEOF(); rs->MoveNext()) {
        version.AddRow(ChartTable::Move, *rs.GetInterfacePtr());
        const std::int32_t idMove = readLong(rs, "idMove", 0);
        const std::int32_t typeDoc = readLong(rs, "TypeDoc", -1);
        const std::int32_t stateNo = readLong(rs, "State", -1);
        const std::int32_t newState = readLong(rs, "NewState", -1);
        CAWFState* from = findState(typeDoc, stateNo);
        CAWFState* to = findState(typeDoc, newState);
        if (!from || !to) {
            m_KeptMoveIds.push_back(idMove);
            skipped.push_back("переход " + std::to_string(stateNo) + " -> " + std::to_string(newState) +
                              ": нет состояния (" + idText("idMove", idMove) + ")");
            continue;
        }
        CAWFLink* known = fromSymbols ? FindMove(typeDoc, stateNo, typeDoc, newState) : nullptr;
        const std::string what = "переход " + std::to_string(stateNo) + " -> " + std::to_string(newState) + " (" +
                                 idText("idMove", idMove) + ")";
        std::optional<Fresh<CAWFLink>> plain;
        std::optional<Fresh<CAWFCircleLink>> loop;
        bool drawn = false;
        const auto drawing = drawingOf(rs->GetCollect("GraphInfo"));
        CAWFLink* raw = known;
        if (known) {
        } else if (from == to) {
            loop.emplace();
            drawn = readDrawing(*loop, drawing, unreadable, what);
            raw = loop->p;
        } else {
            plain.emplace();
            drawn = readDrawing(*plain, drawing, unreadable, what);
            raw = plain->p;
        }
        if (!drawn && !known) {
            raw->SetupLink(from->GetPort(), to->GetPort());
            if (auto* loop = dynamic_cast<CAWFCircleLink*>(raw))
                loop->Route();
            m_NewComponents.Add(raw);
        }
        raw->MoveOptions = readLong(rs, "MoveOptions", 0);
        raw->name_template = readString(rs, "name_template");
        raw->LinkState = readLong(rs, "LinkState", 0);
        raw->isPartialProc = readLong(rs, "isPartialProc", 0);
        raw->isConcurrent = readLong(rs, "isConcurrent", 0);
        raw->NewTypeDoc = readLong(rs, "NewTypeDoc", -1);
        raw->FormulaScript = DecodeFormulaScript(readString(rs, "FormulaScript"));
        if (drawn) {
            RemoveDanglingConnections(raw);
            raw->ConnectSource(from->GetPort());
            raw->ConnectTarget(to->GetPort());
            // Joining the ends again puts them on the port: a loop is laid
            // again from its state.
            if (auto* loop = dynamic_cast<CAWFCircleLink*>(raw))
                loop->Route();
        }
        if (!known)
            AppendComponent(raw);
    }
    rs->Close();
    if (step)
        step();

    std::map<std::array<std::int32_t, 4>, CAWFLink*> movesByKey;
    for (const DocumentMove& move : documentMoves())
        movesByKey.emplace(std::array<std::int32_t, 4>{move.from->GetTypeDoc(), move.from->GetState(),
                                                       move.to->GetTypeDoc(), move.to->GetState()},
                           move.link);

    rs = openRows(select + " FROM MainDocAction WHERE TypeDoc = " + key);
    for (; !rs->IsEOF(); rs->MoveNext()) {
        version.AddRow(ChartTable::Action, *rs.GetInterfacePtr());
        const std::int32_t idAction = readLong(rs, "idAction", 0);
        const std::int32_t typeDoc = readLong(rs, "TypeDoc", -1);
        const std::int32_t stateNo = readLong(rs, "State", -1);
        const std::int32_t newState = readLong(rs, "NewState", -1);
        const std::int32_t actionNo = readLong(rs, "Action", -1);
        const std::int32_t typeAction = readLong(rs, "TypeAction", 1);
        const std::int32_t order = readLong(rs, "OrderAction", 0);
        const auto move = movesByKey.find({typeDoc, stateNo, typeDoc, newState});
        if (fromSymbols) {
            if (move == movesByKey.end()) {
                skipped.push_back("действие " + std::to_string(actionNo) + ": нет перехода " + std::to_string(stateNo) +
                                  " -> " + std::to_string(newState) + " (" + idText("idAction", idAction) + ")");
                continue;
            }
            if (CAWFAction* known = move->second->FindAction(actionNo)) {
                if (known->Order != static_cast<std::uint16_t>(order) || known->TypeAction != typeAction) {
                    known->Order = static_cast<std::uint16_t>(order);
                    known->TypeAction = typeAction;
                    known->FormatOrderLabel();
                }
                continue;
            }
        }

        Fresh<CAWFAction> action;
        if (!readDrawing(action, drawingOf(rs->GetCollect("GraphInfo")), unreadable,
                         "действие " + std::to_string(actionNo) + " (" + idText("idAction", idAction) + ")")) {
            LoadChartSymbol(*action.p, IDR_SYMBOL_ACTION);
            action.p->SetActionName(actionNo, GetNameAction(actionNo), typeAction, static_cast<std::uint16_t>(order));
            m_NewComponents.Add(action.p);
        }
        Fresh<CAWFLink> tie;
        if (move != movesByKey.end())
            tie.p->SetupLink(move->second->GetPort(), action.p->GetPort());
        m_NewComponents.Add(tie.p);
        AppendComponent(action.p);
        AppendComponent(tie.p);
    }
    rs->Close();
    if (step)
        step();
    m_RowsVersion = version;

    // Later links that run the other way between the same two components,
    // found by their ends rather than by comparing every pair.
    std::map<std::pair<CODComponent*, CODComponent*>, std::vector<int>> linksByEnds;
    for (int i = 0; i < m_NewComponents.GetSize(); ++i)
        if (auto* link = dynamic_cast<CODLinkComponent*>(m_NewComponents.GetAt(i)))
            linksByEnds[{link->GetSourceComponent(), link->GetTargetComponent()}].push_back(i);
    CPoint at(0, 0);
    for (int i = 0; i < m_NewComponents.GetSize(); ++i) {
        CODComponent* c = m_NewComponents.GetAt(i);
        auto* first = dynamic_cast<CODLinkComponent*>(c);
        if (!first) {
            c->MoveTo(at.x, at.y);
            // A state takes its loop along.
            c->OnSymbolChanged();
            at.Offset(50, 50);
            continue;
        }
        auto opposite = linksByEnds.find({first->GetTargetComponent(), first->GetSourceComponent()});
        if (opposite == linksByEnds.end())
            continue;
        for (int j : opposite->second) {
            auto* second = static_cast<CODLinkComponent*>(m_NewComponents.GetAt(j));
            if (j <= i || first->GetPointCount() != 2 || second->GetPointCount() != 2)
                continue;
            const CPoint p0 = second->GetPoint(0);
            const CPoint p1 = second->GetPoint(1);
            const std::int32_t h = std::abs(p1.x - p0.x) / 2;
            // The first link runs the other way: the same bent line, from its own source.
            const CPoint bentFirst[3] = {p1, CPoint(p0.x + h, p1.y + 20), p0};
            const CPoint bentSecond[3] = {p0, CPoint(p0.x - h, p1.y - 20), p1};
            first->SetPoints(bentFirst, 3);
            second->SetPoints(bentSecond, 3);
            UpdateComponent(first);
            UpdateComponent(second);
        }
    }

    if (!skipped.empty() || !unreadable.empty()) {
        std::string text;
        if (!skipped.empty()) {
            text = "Строки БД, не помещенные на диаграмму (при сохранении они останутся в БД без изменений):";
            for (const std::string& line : skipped)
                text += "\n" + line;
        }
        if (!unreadable.empty()) {
            text += std::string(text.empty() ? "" : "\n") +
                    "Не удалось прочитать сохраненный рисунок; элемент нарисован заново:";
            for (const std::string& line : unreadable)
                text += "\n" + line;
        }
        ChartShell().Message(text, "", ChartIcon::Exclamation);
    }
}
