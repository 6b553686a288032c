#pragma once
// The about box: the program's name, version and maker's details over a
// background picture, with the maker's web address as a link.

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QUrl;

class Tform_About : public QDialog
{
    Q_OBJECT
public:
    explicit Tform_About(QWidget* parent = nullptr);

    // Hands a web address to the desktop; the answer is not looked at. Tests
    // put their own here so no browser starts.
    using UrlOpener = std::function<bool(const QUrl& url)>;
    void setUrlOpener(UrlOpener opener);

    // The address the link shows and opens.
    static QString webAddress();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void i_AboutClick();
    void l_WebSiteClick();

    UrlOpener m_openUrl;
    bool m_labelsSized = false;
    QLabel* i_About = nullptr;
    QLabel* l_AppName = nullptr;
    QLabel* l_Version = nullptr;
    QLabel* l_Company = nullptr;
    QLabel* l_Address = nullptr;
    QLabel* l_Telephone = nullptr;
    QLabel* l_WebSite = nullptr;
};
