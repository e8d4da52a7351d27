#include "charts/documents/core/diagrammodel.h"
#include "charts/shell/core/chartprogress.h"
#include "charts/shell/core/chartshell.h"

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
    // The keys of the chart's rows as they stand. Only the chart's own rows
    // are deleted below, so the moves of other document types need not be
    // looked up.
    const ChartSaveRows rows(connection, GetKey(), false);
    std::vector<std::int32_t> moveIds, actionIds;
    for (const DocumentMove& move : documentMoves()) {
        ChartSaveRows::Key key = {move.from->GetTypeDoc(), Grp, Type, move.from->GetState(), Grp,
                                  move.to->GetState()};
        const ChartSaveRows::Row* row = rows.Covers(key) ? rows.Find(ChartTable::Move, key) : nullptr;
        if (!row)
            continue;
        moveIds.push_back(row->id);
        CODComponentSet actions;
        move.link->GetActions(actions);
        key.push_back(0);
        for (CODComponent* c : actions) {
            key.back() = static_cast<CAWFAction*>(c)->GetActionId();
            if (const ChartSaveRows::Row* action = rows.Find(ChartTable::Action, key))
                actionIds.push_back(action->id);
        }
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
    std::optional<ChartSaveRows> rows;
    struct SaveScope {
        CTarnwickModel& model;
        ~SaveScope()
        {
            model.m_SaveRows = nullptr;
            model.m_ActionGroups.reset();
        }
    } saveScope{*this};
    try {
        progress.BeginProgress("Сохранение диаграммы...", 0, 80);
        // The rows of another session's save, which the user agreed to write over.
        std::optional<ChartRowsVersion> accepted;
        for (;;) {
            connection->BeginTrans();
            LockChart(connection, GetKey());
            if (!m_RowsVersion)
                break;
            const ChartRowsVersion found = ChartRowsVersion::Read(connection, GetKey());
            if (found == *m_RowsVersion || found == accepted)
                break;
            // The question waits for the user with nothing held.
            connection->RollbackTrans();
            // own wording
            if (!ChartShell().AskYesNo("Диаграмма была изменена другим пользователем после загрузки.\n"
                                       "Сохранить вашу версию поверх?")) {
                progress.EndProgress();
                return false;
            }
            accepted = found;
        }
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
        // The rows that stay, read once: each element writes its row through them.
        m_SaveRows = &rows.emplace(connection, GetKey(), true);
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
        // What this save leaves is what its next save expects to find.
        const ChartRowsVersion saved = ChartRowsVersion::Read(connection, key);
        connection->CommitTrans();
        progress.StepProgress();
        m_RowsVersion = saved;
        SetModified(false);
        for (CODComponent* c : m_DocTypes)
            static_cast<CAWFDocumentType*>(c)->MarkSaved();
    } catch (const ado::_com_error& e) {
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
