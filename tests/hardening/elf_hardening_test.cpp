// The shipped library and tools carry the hardening a Debian package gets: the plugin parses what
// cameras send inside someone else's server. The ELF files are read as the loader reads them:
// program headers, the dynamic section and the dynamic symbols.
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

class ElfFile {
public:
    explicit ElfFile(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        m_bytes.assign(std::istreambuf_iterator<char>(file), {});
        if (m_bytes.size() < sizeof(Elf64_Ehdr)) {
            m_error = "cannot read " + path;
            return;
        }
        std::memcpy(&m_header, m_bytes.data(), sizeof(m_header));
        if (std::memcmp(m_header.e_ident, ELFMAG, SELFMAG) != 0 ||
            m_header.e_ident[EI_CLASS] != ELFCLASS64 || m_header.e_ident[EI_DATA] != ELFDATA2LSB) {
            m_error = path + " is not a little-endian 64-bit ELF file";
            return;
        }
        for (size_t i = 0; i < m_header.e_phnum; ++i) {
            if (auto ph = read<Elf64_Phdr>(m_header.e_phoff + i * m_header.e_phentsize))
                m_segments.push_back(*ph);
        }
        for (size_t i = 0; i < m_header.e_shnum; ++i) {
            if (auto sh = read<Elf64_Shdr>(m_header.e_shoff + i * m_header.e_shentsize))
                m_sections.push_back(*sh);
        }
    }

    const std::string& error() const { return m_error; }
    uint16_t type() const { return m_header.e_type; }

    const Elf64_Phdr* segment(uint32_t type) const {
        for (const Elf64_Phdr& ph : m_segments) {
            if (ph.p_type == type)
                return &ph;
        }
        return nullptr;
    }

    /** The value of a dynamic entry, or nothing when the tag is absent. */
    std::optional<uint64_t> dynamic(int64_t tag) const {
        const Elf64_Phdr* ph = segment(PT_DYNAMIC);
        for (size_t i = 0; ph && (i + 1) * sizeof(Elf64_Dyn) <= ph->p_filesz; ++i) {
            const auto entry = read<Elf64_Dyn>(ph->p_offset + i * sizeof(Elf64_Dyn));
            if (!entry || entry->d_tag == DT_NULL)
                break;
            if (entry->d_tag == tag)
                return entry->d_un.d_val;
        }
        return std::nullopt;
    }

    /** Names of the dynamic symbols the file takes from other objects. */
    std::set<std::string> importedSymbols() const {
        std::set<std::string> names;
        for (const Elf64_Shdr& section : m_sections) {
            if (section.sh_type != SHT_DYNSYM || section.sh_link >= m_sections.size())
                continue;
            const Elf64_Shdr& strings = m_sections[section.sh_link];
            for (size_t i = 1; (i + 1) * sizeof(Elf64_Sym) <= section.sh_size; ++i) {
                const auto symbol = read<Elf64_Sym>(section.sh_offset + i * sizeof(Elf64_Sym));
                if (symbol && symbol->st_shndx == SHN_UNDEF)
                    names.insert(text(strings.sh_offset + symbol->st_name, strings));
            }
        }
        return names;
    }

    /** The x86 feature bits of the GNU property note, or nothing without such a note. */
    std::optional<uint32_t> x86Features() const {
        for (const Elf64_Phdr& ph : m_segments) {
            if (ph.p_type != PT_GNU_PROPERTY)
                continue;
            // One note: name "GNU", then properties of type, size and data, 8-byte aligned.
            size_t at = ph.p_offset + sizeof(Elf64_Nhdr) + 4;
            const size_t end = ph.p_offset + ph.p_filesz;
            while (at + 8 <= end) {
                const auto type = read<uint32_t>(at);
                const auto size = read<uint32_t>(at + 4);
                if (!type || !size)
                    break;
                if (*type == GNU_PROPERTY_X86_FEATURE_1_AND && *size >= 4)
                    return read<uint32_t>(at + 8);
                at += 8 + ((*size + 7) & ~size_t{7});
            }
        }
        return std::nullopt;
    }

private:
    template <typename T>
    std::optional<T> read(uint64_t offset) const {
        if (offset > m_bytes.size() || m_bytes.size() - offset < sizeof(T))
            return std::nullopt;
        T value;
        std::memcpy(&value, m_bytes.data() + offset, sizeof(T));
        return value;
    }
    std::string text(uint64_t offset, const Elf64_Shdr& table) const {
        std::string name;
        for (; offset < m_bytes.size() && offset < table.sh_offset + table.sh_size &&
               m_bytes[offset] != '\0';
             ++offset)
            name += m_bytes[offset];
        return name;
    }

    std::vector<char> m_bytes;
    std::string m_error;
    Elf64_Ehdr m_header{};
    std::vector<Elf64_Phdr> m_segments;
    std::vector<Elf64_Shdr> m_sections;
};

struct Built {
    const char* name;
    const char* path;
    bool executable;
};

void PrintTo(const Built& built, std::ostream* out) {
    *out << built.path;
}

class Hardening : public ::testing::TestWithParam<Built> {
protected:
    void SetUp() override {
        if (!LUMO_HARDENED) {
            GTEST_SKIP() << "this build is not hardened (sanitizer or fuzz build, or "
                            "LUMO_HARDEN=OFF): its flags are not checked";
        }
    }
};

TEST_P(Hardening, FullRelroNonExecutableStackStackProtectorAndFortifiedCalls) {
    const ElfFile elf(GetParam().path);
    ASSERT_EQ("", elf.error());

    EXPECT_NE(nullptr, elf.segment(PT_GNU_RELRO)) << "no GNU_RELRO segment: -Wl,-z,relro";
    const uint64_t flags = elf.dynamic(DT_FLAGS).value_or(0);
    const uint64_t flags1 = elf.dynamic(DT_FLAGS_1).value_or(0);
    EXPECT_TRUE((flags & DF_BIND_NOW) || (flags1 & DF_1_NOW)) << "no BIND_NOW: -Wl,-z,now";

    const Elf64_Phdr* stack = elf.segment(PT_GNU_STACK);
    ASSERT_NE(nullptr, stack) << "no GNU_STACK segment: the loader would make the stack executable";
    EXPECT_EQ(0u, stack->p_flags & PF_X) << "executable stack";

    const std::set<std::string> imported = elf.importedSymbols();
    EXPECT_EQ(1u, imported.count("__stack_chk_fail")) << "no stack protector";
    size_t fortified = 0;
    for (const std::string& name : imported) {
        const bool checked = name.size() > 4 && name.compare(name.size() - 4, 4, "_chk") == 0;
        fortified += checked && name != "__stack_chk_fail";
    }
    EXPECT_GT(fortified, 0u) << "no fortified libc call: -D_FORTIFY_SOURCE with optimisation";

    if (GetParam().executable) {
        EXPECT_EQ(ET_DYN, elf.type()) << "not position independent";
        EXPECT_NE(0u, flags1 & DF_1_PIE) << "not a PIE";
    }
}

// The linker marks a file for indirect-branch tracking and shadow stacks only when every object
// in it was built with -fcf-protection; where it marks one, both must be there.
TEST_P(Hardening, ControlFlowProtectionWhereTheToolchainMarksIt) {
    const ElfFile elf(GetParam().path);
    ASSERT_EQ("", elf.error());
    const std::optional<uint32_t> features = elf.x86Features();
    if (!features)
        GTEST_SKIP() << GetParam().name << " carries no x86 feature property to check";
    EXPECT_NE(0u, *features & GNU_PROPERTY_X86_FEATURE_1_IBT) << "no IBT";
    EXPECT_NE(0u, *features & GNU_PROPERTY_X86_FEATURE_1_SHSTK) << "no SHSTK";
}

INSTANTIATE_TEST_SUITE_P(Shipped, Hardening,
                         ::testing::Values(Built{"plugin", LUMO_PLUGIN_PATH, false},
                                           Built{"lumo_host", LUMO_HOST_PATH, true},
                                           Built{"lumo_camera", LUMO_CAMERA_PATH, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
