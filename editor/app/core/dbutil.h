// Helpers around the application's connection: list fills, blob buffers,
// field readers with NULL defaults, and the COM error box.
#pragma once

#include "ado/ado.h"

#include <cstdint>
#include <string>

using BOOL = int;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

namespace tarnwick {

// What the fills need of a combo box or a list box.
class IItemList {
public:
    virtual ~IItemList() = default;
    virtual void ResetContent() = 0;
    virtual int AddString(const std::string& text) = 0; // index of the new item
    virtual void SetItemData(int index, std::uint32_t data) = 0;
    virtual void SetCurSel(int index) = 0;
    virtual int GetCount() const = 0;
};

BOOL FillComboFromSQL(IItemList& combo, ado::_variant_t sql, const char* textField, const char* dataField,
                      std::int32_t selectData);
BOOL FillListBoxFromSQL(IItemList& list, ado::_variant_t sql, const char* textField, const char* dataField1,
                        const char* dataField2);
// A forward-only, read-only row set of the application's connection; null
// without a connection. Errors are thrown as _com_error.
ado::_RecordsetPtr OpenAppReader(const std::string& sql);
// The application's open connection, or null.
ado::_ConnectionPtr ApplicationConnection();

// The caller owns *buffer (delete[]).
BOOL VariantToBuffer(ado::_variant_t value, std::uint8_t** buffer, std::uint32_t* length);
ado::_variant_t BufferToVariant(const std::uint8_t* buffer, std::uint32_t length);

ado::_variant_t GetFieldValueShort(const ado::_RecordsetPtr& rs, const ado::_variant_t& field, std::int16_t def);
ado::_variant_t GetFieldValueLong(const ado::_RecordsetPtr& rs, const ado::_variant_t& field, std::int32_t def);
ado::_variant_t GetFieldValueString(const ado::_RecordsetPtr& rs, const ado::_variant_t& field,
                                    const std::string& def);

void ShowComError(const ado::_com_error& e);

// Doubles every single quote, for names placed between quotes in SQL text.
std::string SqlQuote(const std::string& text);

} // namespace tarnwick
