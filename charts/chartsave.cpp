#include "charts/chartprogress.h"
#include "charts/chartshell.h"
#include "charts/diagrammodel.h"

#include <array>
#include <map>
#include <optional>
#include <set>
#include <utility>

using namespace tarnwick;

namespace {

void appendIds(std::string& sql, const std::vector<std::int32_t>& ids)
{
    for (std::size_t i = 0; i < ids.size(); ++i)
        sql += (i ? ", " : "") + std::to_string(ids[i]);
    sql += ")";
}

void run(const ado::_ConnectionPtr& connection, const std::string& sql)
{
    ado::_RecordsetPtr rs = connection->Execute(sql);
    rs.Release();
}

// The MainDocType row of a document type other than the chart's belongs to
// that document type's chart: only the values the user changed here are
// written into it, and a missing row is not made.
void saveOtherDocTypeRow(const ado::_ConnectionPtr& connection, const CAWFDocumentType& element)
{
    std::string changes;
    if (element.defState != element.SavedDefState)
        changes = "defState=" + std::to_string(element.defState);
    if (element.DocTypeOptions != element.SavedDocTypeOptions)
        changes += (changes.empty() ? "" : ",") + std::string("DocTypeOptions=") +
                   std::to_string(element.DocTypeOptions);
    if (!changes.empty())
        run(connection, "UPDATE MainDocType SET " + changes + " WHERE TypeDoc = " +
                            std::to_string(element.GetTypeDoc()));
}

// The group and operation under which MainDocType already files the chart's
// document type, when they are not the chart's own: the row's key is the
// document type alone, so the chart's row could be neither found nor added.
std::optional<std::pair<std::int32_t, std::int32_t>> filedElsewhere(const ado::_ConnectionPtr& connection,
                                                                    std::int32_t grp, std::int32_t type,
                                                                    std::int32_t typeDoc)
{
    ado::_RecordsetPtr rs = connection->Execute("SELECT Grp, Type FROM MainDocType WHERE TypeDoc = " +
                                                std::to_string(typeDoc));
    std::optional<std::pair<std::int32_t, std::int32_t>> holder;
    if (!rs->IsEOF()) {
        const std::int32_t rowGrp = rs->GetCollect("Grp").ToLong();
        const std::int32_t rowType = rs->GetCollect("Type").ToLong();
        if (rowGrp != grp || rowType != type)
            holder.emplace(rowGrp, rowType);
    }
    rs->Close();
    return holder;
}

// The group of every action number on the chart (0 for one without a
// group or without a catalogue row), as the action's own look-up gives it.
std::map<std::int32_t, std::int16_t> ReadActionGroups(const ado::_ConnectionPtr& connection,
                                                      CODComponentSet& components)
{
    std::set<std::int32_t> numbers;
    for (CODComponent* c : components)
        if (auto* action = dynamic_cast<CAWFAction*>(c))
            numbers.insert(action->GetActionId());
    std::map<std::int32_t, std::int16_t> groups;
    if (numbers.empty())
        return groups;
    std::string sql = "SELECT Action, Grp FROM ProdDocAction WHERE Action IN(";
    appendIds(sql, std::vector<std::int32_t>(numbers.begin(), numbers.end()));
    ado::_RecordsetPtr rs = connection->Execute(sql);
    for (; !rs->IsEOF(); rs->MoveNext()) {
        const ado::_variant_t grp = rs->GetCollect("Grp");
        groups.emplace(rs->GetCollect("Action").ToLong(), grp.vt == ado::VT_NULL ? 0 : grp.ToShort());
    }
    rs->Close();
    return groups;
}

} // namespace

CAWFState* CTarnwickModel::FindState(int typeDoc, int state)
{
    CODComponentSet* components = GetComponents();
    for (int i = 0; i < components->GetSize(); ++i)
        if (auto* s = dynamic_cast<CAWFState*>(components->GetAt(i));
            s && s->GetState() == state && s->GetTypeDoc() == typeDoc)
            return s;
    return nullptr;
}

CAWFLink* CTarnwickModel::FindMove(int fromTypeDoc, int fromState, int toTypeDoc, int toState)
{
    for (const DocumentMove& move : documentMoves())
        if (move.from->GetState() == fromState && move.from->GetTypeDoc() == fromTypeDoc &&
            move.to->GetState() == toState && move.to->GetTypeDoc() == toTypeDoc)
            return move.link;
    return nullptr;
}

void CTarnwickModel::DeleteArchive(const ado::_ConnectionPtr& connection, int grp, int typeDoc)
{
    run(connection, "DELETE FROM MainDocGraphic WHERE Grp = " + std::to_string(grp) +
                        " AND Type = " + std::to_string(typeDoc));
}

void CTarnwickModel::DeleteStaleMoves(const ado::_ConnectionPtr& connection)
{
    struct Move {
        CAWFLink* link;
        std::int32_t typeDoc, state, newState;
    };
    std::vector<Move> moves;
    std::set<std::int32_t> typeDocs;
    for (const DocumentMove& move : documentMoves()) {
        moves.push_back({move.link, move.from->GetTypeDoc(), move.from->GetState(), move.to->GetState()});
        typeDocs.insert(move.from->GetTypeDoc());
    }

    // One read per table gives what a read per move and per action gave: the
    // first row of each key, the rows in the order of their ids.
    using MoveKey = std::array<std::int32_t, 3>;
    using ActionKey = std::array<std::int32_t, 4>;
    std::map<MoveKey, std::int32_t> movesByKey;
    std::map<ActionKey, std::int32_t> actionsByKey;
    if (!moves.empty()) {
        std::string where = " WHERE Grp = " + std::to_string(Grp) + " AND Type = " + std::to_string(Type) +
                            " AND NewGrp = " + std::to_string(Grp) + " AND TypeDoc IN(";
        appendIds(where, std::vector<std::int32_t>(typeDocs.begin(), typeDocs.end()));
        ado::_RecordsetPtr rs =
            connection->Execute("SELECT idMove, TypeDoc, State, NewState FROM MainDocMove" + where + " ORDER BY idMove");
        for (; !rs->IsEOF(); rs->MoveNext())
            movesByKey.emplace(MoveKey{rs->GetCollect("TypeDoc").ToLong(), rs->GetCollect("State").ToLong(),
                                       rs->GetCollect("NewState").ToLong()},
                               rs->GetCollect("idMove").ToLong());
        rs->Close();
        rs = connection->Execute("SELECT idAction, TypeDoc, State, NewState, Action FROM MainDocAction" + where +
                                 " ORDER BY idAction");
        for (; !rs->IsEOF(); rs->MoveNext())
            actionsByKey.emplace(ActionKey{rs->GetCollect("TypeDoc").ToLong(), rs->GetCollect("State").ToLong(),
                                           rs->GetCollect("NewState").ToLong(), rs->GetCollect("Action").ToLong()},
                                 rs->GetCollect("idAction").ToLong());
        rs->Close();
    }

    std::vector<std::int32_t> moveIds, actionIds;
    for (const Move& move : moves) {
        auto found = movesByKey.find({move.typeDoc, move.state, move.newState});
        if (found == movesByKey.end())
            continue;
        moveIds.push_back(found->second);
        CODComponentSet actions;
        move.link->GetActions(actions);
        for (CODComponent* c : actions)
            if (auto action = actionsByKey.find(
                    {move.typeDoc, move.state, move.newState, static_cast<CAWFAction*>(c)->GetActionId()});
                action != actionsByKey.end())
                actionIds.push_back(action->second);
    }

    const std::string key = "WHERE TypeDoc=" + std::to_string(GetKey());
    // Moves the last load could not place stay, and so do their actions.
    std::vector<std::int32_t> staying = moveIds;
    staying.insert(staying.end(), m_KeptMoveIds.begin(), m_KeptMoveIds.end());
    std::string condition = key;
    if (!staying.empty()) {
        condition += " AND idMove NOT IN(";
        appendIds(condition, staying);
    }
    run(connection, "DELETE FROM MainDocAction " + condition);
    run(connection, "DELETE FROM MainDocMove " + condition);

    condition = key;
    if (!moveIds.empty()) {
        condition += " AND idMove IN(";
        appendIds(condition, moveIds);
    }
    if (!m_KeptMoveIds.empty()) {
        condition += " AND idMove NOT IN(";
        appendIds(condition, m_KeptMoveIds);
    }
    if (!actionIds.empty()) {
        condition += " AND idAction NOT IN(";
        appendIds(condition, actionIds);
    }
    run(connection, "DELETE FROM MainDocAction " + condition);
}

bool CTarnwickModel::SaveToDB()
{
    if (Grp == -1)
        return false;
    if (m_bIncomplete) {
        // own wording
        ChartShell().Message("Диаграмма загружена не полностью и не будет сохранена в БД.\n"
                             "Загрузите её заново командой \"Обновить диаграмму\".",
                             "", ChartIcon::Stop);
        return false;
    }
    ado::_ConnectionPtr connection = ChartShell().Connection();
    IChartProgress& progress = ChartProgress();
    bool result = true;
    try {
        progress.BeginProgress("Сохранение диаграммы...", 0, 80);
        connection->BeginTrans();
        progress.StepProgress();
        if (const auto holder = filedElsewhere(connection, Grp, Type, GetKey())) {
            connection->RollbackTrans();
            ChartShell().Message("Тип документа " + std::to_string(GetKey()) +
                                     " уже размещен в MainDocType в другой группе операций: группа " +
                                     std::to_string(holder->first) + ", операция " + std::to_string(holder->second) +
                                     " (у диаграммы: группа " + std::to_string(Grp) + ", операция " +
                                     std::to_string(Type) + ").\nДиаграмма не сохранена.",
                                 "", ChartIcon::Stop);
            progress.EndProgress();
            return false;
        }
        DeleteStaleMoves(connection);
        progress.StepProgress();

        // Each document type writes its own row; the chart's row is written
        // once, by its own element, or by an element that has no number yet.
        const std::int32_t key = GetKey();
        CAWFDocumentType* chartElement = nullptr;
        for (CODComponent* c : m_DocTypes)
            if (auto* e = static_cast<CAWFDocumentType*>(c); e->GetTypeDoc() == key) {
                chartElement = e;
                break;
            }
        if (!chartElement)
            for (CODComponent* c : m_DocTypes)
                if (auto* e = static_cast<CAWFDocumentType*>(c); e->GetTypeDoc() < 0) {
                    chartElement = e;
                    break;
                }
        std::set<std::int32_t> written;
        for (CODComponent* c : m_DocTypes) {
            auto* e = static_cast<CAWFDocumentType*>(c);
            if (e == chartElement)
                e->SaveToDB(connection);
            else if (e->GetTypeDoc() >= 0 && e->GetTypeDoc() != key && written.insert(e->GetTypeDoc()).second)
                saveOtherDocTypeRow(connection, *e);
        }
        progress.StepProgress();

        std::vector<std::int32_t> stateIds;
        CODComponentSet* components = GetComponents();
        for (int i = 0; i < components->GetSize(); ++i)
            if (auto* state = dynamic_cast<CAWFState*>(components->GetAt(i)))
                stateIds.push_back(state->SaveToDB(connection));
        progress.StepProgress();

        stateIds.insert(stateIds.end(), m_KeptStateIds.begin(), m_KeptStateIds.end());
        std::string sql = "DELETE FROM MainDocState WHERE TypeDoc=" + std::to_string(key);
        if (!stateIds.empty()) {
            sql += " AND idState NOT IN(";
            appendIds(sql, stateIds);
        }
        run(connection, sql);
        progress.StepProgress();

        m_ActionGroups = ReadActionGroups(connection, *components);
        for (int i = 0; i < components->GetSize(); ++i)
            if (auto* link = dynamic_cast<CAWFLink*>(components->GetAt(i)))
                link->SaveToDB(connection);
        m_ActionGroups.reset();
        progress.StepProgress();

        DeleteArchive(connection, Grp, key);
        progress.StepProgress();
        connection->CommitTrans();
        progress.StepProgress();
        SetModified(false);
        for (CODComponent* c : m_DocTypes)
            static_cast<CAWFDocumentType*>(c)->MarkSaved();
    } catch (const ado::_com_error& e) {
        m_ActionGroups.reset();
        result = false;
        std::string text = e.Description().str();
        if (text.empty())
            text = e.ErrorMessage();
        try {
            connection->RollbackTrans();
        } catch (const ado::_com_error&) {
            ChartShell().Message("Не удалось откатить транзакцию при обработке исключения при сохранении модели в БД!",
                                 "", ChartIcon::None);
        }
        ChartShell().Message(text, e.Source().str(), ChartIcon::Stop);
    } catch (...) {
        m_ActionGroups.reset();
        result = false;
        try {
            connection->RollbackTrans();
        } catch (const ado::_com_error&) {
            ChartShell().Message("Не удалось откатить транзакцию при обработке исключения при сохранении модели в БД!",
                                 "", ChartIcon::None);
        }
        ChartShell().Message("Ошибка сохранения схемы документооборота в БД!", "", ChartIcon::Stop);
    }
    progress.EndProgress();
    return result;
}
