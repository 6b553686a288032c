#include "present/about_model.h"

#include "present/texts.h"

#ifndef ZUVI_VERSION
#error "ZUVI_VERSION comes from the project's version in CMake"
#endif

const AboutView& AboutTexts()
{
    static const AboutView texts = [] {
        AboutView v;
        v.caption = std::string(UiText::kAboutCaption);
        v.appName = std::string(UiText::kAppName);
        v.version = std::string(UiText::kVersionPrefix) + ZUVI_VERSION;
        v.company = std::string(UiText::kCompanyPrefix) + std::string(UiText::kCompany);
        v.address = std::string(UiText::kAddressPrefix) + std::string(UiText::kAddress);
        v.telephone = std::string(UiText::kTelephonePrefix) + std::string(UiText::kTelephone);
        v.webSite = std::string(UiText::kWebSite);
        return v;
    }();
    return texts;
}
