// The server finds the library's entry points by unmangled name; nothing else may be visible, or
// another library loaded into the same server could bind to our internals (or we to theirs).
// Reads the dynamic symbol table straight from the built file.
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace qo::sdk::test {
namespace {

/** Names of the symbols that the file defines in its dynamic symbol table. */
class DynamicSymbols {
public:
    explicit DynamicSymbols(const std::string& path) : m_file(path, std::ios::binary) {
        if (!m_file)
            m_error = "cannot open the file";
        else
            read();
    }

    const std::string& error() const { return m_error; }
    const std::set<std::string>& defined() const { return m_defined; }

private:
    template <typename T>
    bool readAt(uint64_t offset, T* out) {
        return readBytesAt(offset, sizeof(T), reinterpret_cast<char*>(out));
    }

    bool readBytesAt(uint64_t offset, uint64_t size, char* out) {
        m_file.clear();
        m_file.seekg(static_cast<std::streamoff>(offset));
        m_file.read(out, static_cast<std::streamsize>(size));
        return m_file.gcount() == static_cast<std::streamsize>(size);
    }

    void read() {
        Elf64_Ehdr header;
        if (!readAt(0, &header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
            header.e_ident[EI_CLASS] != ELFCLASS64) {
            m_error = "not a 64-bit ELF file";
            return;
        }
        for (unsigned i = 0; i < header.e_shnum; ++i) {
            Elf64_Shdr section;
            if (!readAt(header.e_shoff + uint64_t{i} * header.e_shentsize, &section)) {
                m_error = "truncated section table";
                return;
            }
            if (section.sh_type == SHT_DYNSYM && !readSymbols(header, section))
                return;
        }
        if (m_defined.empty() && m_error.empty())
            m_error = "no dynamic symbols defined";
    }

    bool readSymbols(const Elf64_Ehdr& header, const Elf64_Shdr& symbols) {
        Elf64_Shdr stringSection;
        std::vector<char> strings;
        if (!readAt(header.e_shoff + uint64_t{symbols.sh_link} * header.e_shentsize,
                    &stringSection) ||
            stringSection.sh_size > (uint64_t{1} << 30)) {
            m_error = "missing string table";
            return false;
        }
        strings.resize(stringSection.sh_size + 1, '\0');  // Terminates even a malformed table.
        if (!readBytesAt(stringSection.sh_offset, stringSection.sh_size, strings.data())) {
            m_error = "truncated string table";
            return false;
        }
        const uint64_t count = symbols.sh_entsize ? symbols.sh_size / symbols.sh_entsize : 0;
        for (uint64_t i = 1; i < count; ++i) {  // Entry 0 is the null symbol.
            Elf64_Sym symbol;
            if (!readAt(symbols.sh_offset + i * symbols.sh_entsize, &symbol) ||
                symbol.st_name >= stringSection.sh_size) {
                m_error = "malformed symbol table";
                return false;
            }
            if (symbol.st_shndx != SHN_UNDEF)
                m_defined.emplace(strings.data() + symbol.st_name);
        }
        return true;
    }

    std::ifstream m_file;
    std::string m_error;
    std::set<std::string> m_defined;
};

class ExportedSymbolsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(symbols.error(), "") << LUMO_PLUGIN_PATH; }

    DynamicSymbols symbols{LUMO_PLUGIN_PATH};
};

TEST_F(ExportedSymbolsTest, OnlyTheEntryPointsAreExported) {
    const std::set<std::string> allowed = {"qoLibContext", "qoSdkVersion", "qoSetUnitTestOptions",
                                           "createQoPlugin"};
    for (const std::string& name : symbols.defined())
        EXPECT_EQ(allowed.count(name), 1U) << "unexpected export: " << name;
}

TEST_F(ExportedSymbolsTest, TheLibraryEntryPointsAreAllThere) {
    for (const char* name : {"qoLibContext", "qoSdkVersion", "qoSetUnitTestOptions"})
        EXPECT_EQ(symbols.defined().count(name), 1U) << "missing export: " << name;
}

TEST_F(ExportedSymbolsTest, NoCppSymbolLeaks) {
    for (const std::string& name : symbols.defined())
        EXPECT_NE(name.rfind("_Z", 0), 0U) << "mangled export: " << name;
}

}  // namespace
}  // namespace qo::sdk::test
