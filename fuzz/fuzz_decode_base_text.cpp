// DecodeBaseText on any 256 bytes a reader might hand over: it reads exactly
// those bytes, fills only the ten text fields of the record, and leaves every
// field readable as text within its size.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/shared_state.h"
#include "card/card_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Exactly the base text's size on the heap, so a read past it is caught.
    auto text = std::make_unique<unsigned char[]>(kBaseTextSize);
    std::memcpy(text.get(), data, size < kBaseTextSize ? size : kBaseTextSize);

    TIDCardInfo record;
    std::memset(&record, 0xA5, sizeof record);
    DecodeBaseTextInto(record, text.get());

    // The fingerprint and the application address are not the base text's.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    for (std::size_t i = offsetof(TIDCardInfo, AppAddress); i < sizeof record; ++i)
        if (bytes[i] != 0xA5)
            std::abort();
    const std::string fields[] = {FieldText(record.Name),
                                  FieldText(record.Sex),
                                  FieldText(record.Nation),
                                  FieldText(record.Birthday),
                                  FieldText(record.Address),
                                  FieldText(record.IDCardNo),
                                  FieldText(record.CheckDepartment),
                                  FieldText(record.StartDate),
                                  FieldText(record.EndDate),
                                  FieldText(record.Reserved)};
    for (const std::string& field : fields)
        if (field.find('\0') != std::string::npos)
            std::abort();

    // The process-wide record goes the same way.
    DecodeBaseText(text.get());
    if (std::memcmp(&CardInfo, &record, offsetof(TIDCardInfo, AppAddress)) != 0)
        std::abort();
    return 0;
}
