#include "editor/app/core/dbutil.h"

#include "editor/app/core/editorcore.h"

#include <cstring>
#include <new>

namespace tarnwick {

using namespace ado;

namespace {

_ConnectionPtr OpenConnection()
{
    CTarnwickAppCore* app = CTarnwickAppCore::Instance();
    if (!app)
        return nullptr;
    _ConnectionPtr connection = app->ConnectDB(FALSE);
    if (!connection || connection->GetState() == adStateClosed)
        return nullptr;
    return connection;
}

_RecordsetPtr OpenReader(const _variant_t& sql, const _ConnectionPtr& connection)
{
    _RecordsetPtr rs;
    HRESULT hr = rs.CreateInstance("ADODB.Recordset");
    if (hr != S_OK)
        throw _com_error(hr);
    rs->Open(sql, connection, adOpenForwardOnly, adLockReadOnly, adCmdText);
    return rs;
}

} // namespace

_RecordsetPtr OpenAppReader(const std::string& sql)
{
    _ConnectionPtr connection = OpenConnection();
    return connection ? OpenReader(_variant_t(sql), connection) : nullptr;
}

_ConnectionPtr ApplicationConnection()
{
    return OpenConnection();
}

BOOL FillComboFromSQL(IItemList& combo, _variant_t sql, const char* textField, const char* dataField,
                      std::int32_t selectData)
{
    combo.ResetContent();
    _ConnectionPtr connection = OpenConnection();
    if (!connection)
        return FALSE;
    try {
        _RecordsetPtr rs = OpenReader(sql, connection);
        while (!rs->IsEOF()) {
            int index = combo.AddString(static_cast<std::string>(rs->GetCollect(textField)));
            if (dataField) {
                std::int32_t data = rs->GetCollect(dataField).ToLong();
                combo.SetItemData(index, static_cast<std::uint32_t>(data));
                if (data == selectData)
                    combo.SetCurSel(index);
            }
            rs->MoveNext();
        }
    } catch (const _com_error& e) {
        // The template table of a process may not exist.
        if (Dialect::IsUndefinedTable(e.SqlState()))
            Prompt().Message("Процесс не поддерживает работу с шаблонами документов!", {}, MessageIcon::None);
        else
            ShowComError(e);
        return FALSE;
    }
    return TRUE;
}

BOOL FillListBoxFromSQL(IItemList& list, _variant_t sql, const char* textField, const char* dataField1,
                        const char* dataField2)
{
    list.ResetContent();
    _ConnectionPtr connection = OpenConnection();
    if (!connection)
        return FALSE;
    try {
        _RecordsetPtr rs = OpenReader(sql, connection);
        while (!rs->IsEOF()) {
            int index = list.AddString(static_cast<std::string>(rs->GetCollect(textField)));
            if (dataField1 && dataField2) {
                auto low = static_cast<std::uint16_t>(rs->GetCollect(dataField1).ToShort());
                auto high = static_cast<std::uint16_t>(rs->GetCollect(dataField2).ToShort());
                list.SetItemData(index, static_cast<std::uint32_t>(low) | (static_cast<std::uint32_t>(high) << 16));
            } else if (dataField1) {
                list.SetItemData(index, static_cast<std::uint32_t>(rs->GetCollect(dataField1).ToLong()));
            }
            rs->MoveNext();
        }
        if (list.GetCount() > 0)
            list.SetCurSel(0);
    } catch (const _com_error&) {
        // The callers treat an empty list as the answer; the error is not shown.
        return FALSE;
    }
    return TRUE;
}

BOOL VariantToBuffer(_variant_t value, std::uint8_t** buffer, std::uint32_t* length)
{
    switch (value.vt) {
    case VT_NULL:
        return FALSE;
    case VT_ARRAY:
    case VT_ARRAY | VT_NULL:
        *buffer = nullptr;
        *length = 0;
        return TRUE;
    case VT_ARRAY | VT_UI1: {
        std::uint32_t count = value.parray ? value.parray->rgsabound[0].cElements : 0;
        auto* data = new (std::nothrow) std::uint8_t[count ? count : 1];
        if (!data)
            return FALSE;
        if (count) {
            void* source = nullptr;
            SafeArrayAccessData(value.parray, &source);
            std::memcpy(data, source, count);
            SafeArrayUnaccessData(value.parray);
        }
        *buffer = data;
        *length = count;
        return TRUE;
    }
    default:
        return FALSE;
    }
}

_variant_t BufferToVariant(const std::uint8_t* buffer, std::uint32_t length)
{
    SAFEARRAYBOUND bound{length, 0};
    SAFEARRAY* array = SafeArrayCreate(VT_UI1, 1, &bound);
    if (array && length) {
        void* data = nullptr;
        SafeArrayAccessData(array, &data);
        std::memcpy(data, buffer, length);
        SafeArrayUnaccessData(array);
    }
    return _variant_t(array);
}

_variant_t GetFieldValueShort(const _RecordsetPtr& rs, const _variant_t& field, std::int16_t def)
{
    _variant_t value = rs->GetCollect(field);
    return value.vt == VT_NULL ? _variant_t(static_cast<short>(def)) : value;
}

_variant_t GetFieldValueLong(const _RecordsetPtr& rs, const _variant_t& field, std::int32_t def)
{
    _variant_t value = rs->GetCollect(field);
    return value.vt == VT_NULL ? _variant_t(static_cast<int>(def)) : value;
}

_variant_t GetFieldValueString(const _RecordsetPtr& rs, const _variant_t& field, const std::string& def)
{
    _variant_t value = rs->GetCollect(field);
    return value.vt == VT_NULL ? _variant_t(def) : value;
}

void ShowComError(const _com_error& e)
{
    std::string text = e.Description().length() ? std::string(e.Description()) : e.ErrorMessage();
    Prompt().Message(text, e.Source(), MessageIcon::Error);
}

std::string SqlQuote(const std::string& text)
{
    std::string quoted;
    for (char c : text) {
        quoted += c;
        if (c == '\'')
            quoted += '\'';
    }
    return quoted;
}

} // namespace tarnwick
