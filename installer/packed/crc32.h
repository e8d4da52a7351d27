// Table-driven CRC-32 with a caller-chosen start value and no final
// inversion, and the shared list of lookup tables (one per polynomial).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace dorvik {

class COXCheckBase {
public:
    virtual ~COXCheckBase() = default;

    virtual std::uint32_t CalculateBlock(const void* data, std::size_t size, std::uint32_t start) = 0;
    // Continues from the current value.
    virtual std::uint32_t CalculateBlock(const void* data, std::size_t size);
    // Throws CFileException when the file cannot be opened or read.
    virtual std::uint32_t CalculateFile(const std::string& path);
    // Reads the open descriptor in pieces of at most `bufferSize` bytes,
    // `length` bytes at most, until a read comes back short.
    virtual std::uint32_t CalculateFile(int fd, std::uint64_t length, std::size_t bufferSize);

    std::uint32_t GetCurrent() const { return m_nCurrent; }

protected:
    std::uint32_t m_nCurrent = 0xFFFFFFFFu;
};

// The lookup tables, one per polynomial, made on first use and kept until
// the program ends.
template <typename T>
class COXCRCTableList {
public:
    struct Table {
        T polynomial;
        // Entry [0] is the byte table; [1..15] extend it to sixteen bytes a step.
        T entries[16][256];
        // For 32-bit tables, the factors that move a 128-bit piece of the
        // message forward by 512, 384, 256 and 128 bits with carry-less
        // multiplication: [k][0] for its first (higher) 64 bits, [k][1] for
        // the rest, each x^n mod the polynomial in reflected form, shifted
        // into the upper half of the word.
        std::uint64_t folds[4][2] = {};
        Table* next = nullptr;
    };

    virtual ~COXCRCTableList()
    {
        while (m_pHead) {
            Table* next = m_pHead->next;
            delete m_pHead;
            m_pHead = next;
        }
    }

    const Table* GetTable(T polynomial)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Table* last = nullptr;
        for (Table* t = m_pHead; t; t = t->next) {
            if (t->polynomial == polynomial)
                return t;
            last = t;
        }
        Table* made = CreateTable(polynomial);
        if (last)
            last->next = made;
        else
            m_pHead = made;
        return made;
    }

    int GetCount() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        int n = 0;
        for (Table* t = m_pHead; t; t = t->next)
            ++n;
        return n;
    }

protected:
    virtual Table* CreateTable(T polynomial)
    {
        auto* table = new Table;
        table->polynomial = polynomial;
        for (unsigned i = 0; i < 256; ++i) {
            T c = static_cast<T>(i);
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? static_cast<T>((c >> 1) ^ polynomial) : static_cast<T>(c >> 1);
            table->entries[0][i] = c;
        }
        for (unsigned i = 0; i < 256; ++i)
            for (int s = 1; s < 16; ++s) {
                T prev = table->entries[s - 1][i];
                table->entries[s][i] = static_cast<T>((prev >> 8) ^ table->entries[0][prev & 0xFF]);
            }
        if constexpr (sizeof(T) == 4) {
            // x^n mod P, reflected: x^0 is the top bit, and multiplying by x
            // is one step of the bitwise register.
            auto xPower = [polynomial](unsigned n) {
                std::uint32_t r = 0x80000000u;
                while (n--)
                    r = (r & 1) ? (r >> 1) ^ static_cast<std::uint32_t>(polynomial) : r >> 1;
                return static_cast<std::uint64_t>(r) << 32;
            };
            const unsigned distances[4] = {512, 384, 256, 128};
            for (int k = 0; k < 4; ++k) {
                table->folds[k][0] = xPower(distances[k] + 63);
                table->folds[k][1] = xPower(distances[k] - 1);
            }
        }
        return table;
    }

private:
    mutable std::mutex m_mutex;
    Table* m_pHead = nullptr;
};

class COXCRC32 : public COXCheckBase {
public:
    using CTableList = COXCRCTableList<std::uint32_t>;
    static constexpr std::uint32_t kDefaultPolynomial = 0xEDB88320u;

    explicit COXCRC32(std::uint32_t polynomial = kDefaultPolynomial);

    using COXCheckBase::CalculateBlock;
    std::uint32_t CalculateBlock(const void* data, std::size_t size, std::uint32_t start) override;

    static CTableList& GetTableList();

private:
    const CTableList::Table* m_pTable;
};

// One block with polynomial 0xEDB88320.
std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t start);

} // namespace dorvik
