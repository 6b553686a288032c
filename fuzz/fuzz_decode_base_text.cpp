// DecodeBaseText on any 256 bytes a reader might hand over: it reads exactly
// those bytes, fills only the ten text fields of the record, and leaves every
// field readable as text within its size. The other kinds' decoders likewise,
// on the same bytes whatever their mark.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "card/card_info.h"
#include "card/card_kinds.h"
#include "state/shared_state.h"

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

    TCardKindInfo kind;
    std::memset(&kind, 0xA5, sizeof kind);
    DecodeCardKind(text.get(), kind);
    if (kind.Kind != CardKindOf(text.get()))
        std::abort();
    // A card is shown while its number is not empty: a card whose layout is
    // not decoded must still have one.
    if (!CardKindDecoded(kind.Kind) && CardNumberText(kind).empty())
        std::abort();
    TForeignCardInfo foreign;
    DecodeForeignBaseText(text.get(), foreign);
    // The English name: no blank at either end, none doubled.
    const std::string english = FieldText(foreign.EnglishName);
    if (!english.empty() && (english.front() == ' ' || english.back() == ' ' ||
                             english.find("  ") != std::string::npos))
        std::abort();
    TPermitCardInfo permit;
    DecodePermitBaseText(text.get(), permit);
    if (kind.Kind == CardKind::ForeignPermanent &&
        std::memcmp(&kind.Foreign, &foreign, sizeof foreign) != 0)
        std::abort();
    if (kind.Kind == CardKind::HkMacaoTaiwanPermit &&
        std::memcmp(&kind.Permit, &permit, sizeof permit) != 0)
        std::abort();
    return 0;
}
