#pragma once
// The about box's texts and link, for every front-end.

#include <string>

struct AboutView
{
    std::string caption;
    std::string appName;   // l_AppName
    std::string version;   // l_Version
    std::string company;   // l_Company
    std::string address;   // l_Address
    std::string telephone; // l_Telephone
    std::string webSite;   // l_WebSite, and the address a click opens
};

// The texts FormCreate sets, in the order it sets them: application name,
// version (the project's), company, address, web site, telephone.
const AboutView& AboutTexts();
