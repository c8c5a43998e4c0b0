// The ELF reader on elfutils' libelf.
#include <gelf.h>
#include <libelf.h>

#include <string>

#include "files/elf_image.h"

namespace velkor {
namespace {

// The AVR's machine number in the ELF header (EM_AVR).
constexpr unsigned kMachineAvr = 83;

// avr-gcc's address ranges of the memories that are not flash.
constexpr std::uint64_t kRamBase = 0x800000;
constexpr std::uint64_t kEepromBase = 0x810000;
constexpr std::uint64_t kFuseBase = 0x820000;
constexpr std::uint64_t kLockBase = 0x830000;
constexpr std::uint64_t kRangeSize = 0x10000;

struct ElfHandle {
    Elf* elf = nullptr;
    ~ElfHandle() {
        if (elf != nullptr) elf_end(elf);
    }
};

ElfImage Damaged(const std::string& what) {
    ElfImage image;
    image.problem = ElfProblem::kDamaged;
    image.detail = what;
    // The library's own reason, when it gave one (elf_errno also clears it).
    if (const int error = elf_errno(); error != 0) {
        image.detail += ": " + std::string(elf_errmsg(error));
    }
    return image;
}

// Where a section is loaded from: through the loadable segment that holds its bytes, else
// its own address.
std::uint64_t LoadAddress(Elf* elf, std::size_t segments, const GElf_Shdr& section) {
    for (std::size_t i = 0; i < segments; ++i) {
        GElf_Phdr segment;
        if (gelf_getphdr(elf, static_cast<int>(i), &segment) == nullptr) continue;
        if (segment.p_type != PT_LOAD) continue;
        if (section.sh_offset >= segment.p_offset &&
            section.sh_offset + section.sh_size <= segment.p_offset + segment.p_filesz) {
            return segment.p_paddr + (section.sh_offset - segment.p_offset);
        }
    }
    return section.sh_addr;
}

}  // namespace

ElfImage ReadElfImage(std::span<const std::uint8_t> file, std::size_t flashImageSize,
                      std::size_t eepromImageSize) {
    if (!LooksLikeElf(file)) {
        ElfImage image;
        image.problem = ElfProblem::kNotElf;
        return image;
    }
    if (elf_version(EV_CURRENT) == EV_NONE) return Damaged("the ELF library cannot start");
    // libelf reads from a buffer it may not keep; a copy lives as long as the handle.
    std::vector<char> copy(file.begin(), file.end());
    ElfHandle handle;
    handle.elf = elf_memory(copy.data(), copy.size());
    Elf* elf = handle.elf;
    if (elf == nullptr || elf_kind(elf) != ELF_K_ELF) return Damaged("no readable ELF header");
    GElf_Ehdr header;
    if (gelf_getehdr(elf, &header) == nullptr) return Damaged("no readable ELF header");
    if (header.e_machine != kMachineAvr || gelf_getclass(elf) != ELFCLASS32 ||
        header.e_ident[EI_DATA] != ELFDATA2LSB) {
        ElfImage image;
        image.problem = ElfProblem::kOtherMachine;
        image.machine = header.e_machine;
        return image;
    }
    // A file cut short still has its header; its tables of segments and sections must lie
    // within it, or the library finds none and the file would seem to hold nothing.
    const auto tableEnd = [](std::uint64_t offset, std::uint64_t count, std::uint64_t entry) {
        return offset + count * entry;
    };
    if (tableEnd(header.e_phoff, header.e_phnum, header.e_phentsize) > file.size() ||
        tableEnd(header.e_shoff, header.e_shnum, header.e_shentsize) > file.size()) {
        return Damaged("its headers end beyond the file (" + std::to_string(file.size()) +
                       " bytes)");
    }
    std::size_t segments = 0;
    std::size_t names = 0;
    if (elf_getphdrnum(elf, &segments) != 0) return Damaged("no readable program headers");
    if (elf_getshdrstrndx(elf, &names) != 0) return Damaged("no readable section names");

    ElfImage image;
    image.flash = EmptyMemoryImage(flashImageSize);
    image.eeprom = EmptyMemoryImage(eepromImageSize);
    for (Elf_Scn* scn = elf_nextscn(elf, nullptr); scn != nullptr; scn = elf_nextscn(elf, scn)) {
        GElf_Shdr section;
        if (gelf_getshdr(scn, &section) == nullptr) return Damaged("a section header");
        if ((section.sh_flags & SHF_ALLOC) == 0 || section.sh_type == SHT_NOBITS ||
            section.sh_size == 0) {
            continue;
        }
        const char* name = elf_strptr(elf, names, section.sh_name);
        const std::string sectionName = name != nullptr ? name : "?";
        if (section.sh_offset > file.size() || section.sh_size > file.size() - section.sh_offset) {
            return Damaged("section " + sectionName + " ends beyond the file");
        }
        Elf_Data* data = elf_rawdata(scn, nullptr);
        if (data == nullptr || data->d_buf == nullptr || data->d_size != section.sh_size) {
            return Damaged("section " + sectionName);
        }
        const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(data->d_buf),
                                                  data->d_size);
        const std::uint64_t address = LoadAddress(elf, segments, section);
        if (address < kRamBase) {
            StoreBytes(image.flash, address, bytes);
        } else if (address >= kEepromBase && address < kEepromBase + kRangeSize) {
            StoreBytes(image.eeprom, address - kEepromBase, bytes);
        } else if (address >= kFuseBase && address < kFuseBase + kRangeSize) {
            const std::size_t at = address - kFuseBase;
            if (image.fuses.size() < at + bytes.size()) image.fuses.resize(at + bytes.size(), 0xFF);
            std::copy(bytes.begin(), bytes.end(), image.fuses.begin() + static_cast<long>(at));
        } else if (address == kLockBase) {
            image.lock = bytes[0];
        }
        // RAM, the signature and the user signature ranges are nothing a programmer writes.
    }
    return image;
}

}  // namespace velkor
