#include "gui/common/systemicons.h"

#include <QAbstractFileIconProvider>
#include <QHash>
#include <QList>
#include <QMimeDatabase>

namespace {

constexpr int s_notAsked = -2;

std::unique_ptr<SystemIcons> s_systemImages;

// The extension of the last part of name ("txt" of "notes.txt", "gz" of "a.tar.gz"); empty when that
// part has no dot or ends with one.
QStringView extensionOf(QStringView name)
{
    const QStringView base = name.sliced(name.lastIndexOf(u'/') + 1);
    const qsizetype dot = base.lastIndexOf(u'.');
    return dot < 0 ? QStringView() : base.sliced(dot + 1);
}

} // namespace

struct SystemIcons::Data {
    QList<QIcon> icons;
    // One index per icon: a theme icon by its name, the provider's icons by their type.
    QHash<QString, int> indexByIdentity;
    QHash<QString, int> indexByExtension;
    // Names without an extension can still have a MIME type of their own ("Makefile", "README").
    QHash<QString, int> indexByName;
    int closedFolder = s_notAsked;
    int openFolder = s_notAsked;
    QMimeDatabase mimeDatabase;
    // The program's own pictures, for a desktop without an icon theme.
    QIcon lastResortFile;
    QIcon lastResortFolder;
    QIcon lastResortOpenFolder;

    // The index of icon, added when it is new. Theme icons are told apart by their names (the file
    // icon provider also answers theme icons); other icons by fallbackIdentity.
    int add(const QString& fallbackIdentity, const QIcon& icon)
    {
        if (icon.isNull()) {
            return -1;
        }
        const QString identity = icon.name().isEmpty() ? fallbackIdentity : QStringLiteral("theme:") + icon.name();
        if (const auto found = indexByIdentity.constFind(identity); found != indexByIdentity.cend()) {
            return *found;
        }
        icons.append(icon);
        const int index = static_cast<int>(icons.size() - 1);
        indexByIdentity.insert(identity, index);
        return index;
    }

    // The first of the theme's icons by these names, else the file icon provider's icon of type, else
    // the program's own picture.
    int themeOrProvider(
        std::initializer_list<QString> themeNames, QAbstractFileIconProvider::IconType type, const QIcon& lastResort)
    {
        for (const QString& name : themeNames) {
            if (!name.isEmpty() && QIcon::hasThemeIcon(name)) {
                return add(name, QIcon::fromTheme(name));
            }
        }
        const QAbstractFileIconProvider provider;
        const QIcon icon = provider.icon(type);
        if (icon.isNull() && !lastResort.isNull()) {
            return add(QStringLiteral("own:%1:%2").arg(static_cast<int>(type)).arg(lastResort.cacheKey()), lastResort);
        }
        return add(QStringLiteral("provider:%1").arg(static_cast<int>(type)), icon);
    }

    int forMimeOf(const QString& name)
    {
        const QMimeType type = mimeDatabase.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        return themeOrProvider(
            { type.iconName(), type.genericIconName() }, QAbstractFileIconProvider::File, lastResortFile);
    }

    int folder(bool open)
    {
        int& index = open ? openFolder : closedFolder;
        if (index == s_notAsked) {
            index = open
                ? themeOrProvider({ QStringLiteral("folder-open"), QStringLiteral("folder") },
                    QAbstractFileIconProvider::Folder, lastResortOpenFolder)
                : themeOrProvider({ QStringLiteral("folder") }, QAbstractFileIconProvider::Folder, lastResortFolder);
        }
        return index;
    }
};

SystemIcons::SystemIcons()
    : m_data(std::make_unique<Data>())
{
}

SystemIcons::~SystemIcons() = default;

void SystemIcons::setLastResortIcons(const QIcon& file, const QIcon& folder, const QIcon& openFolder)
{
    m_data->lastResortFile = file;
    m_data->lastResortFolder = folder;
    m_data->lastResortOpenFolder = openFolder;
}

int SystemIcons::count() const { return static_cast<int>(m_data->icons.size()); }

QIcon SystemIcons::icon(int index) const
{
    if (index < 0 || index >= count()) {
        return {};
    }
    return m_data->icons.at(index);
}

int SystemIcons::indexOf(const QString& name, bool open)
{
    if (name.isEmpty()) {
        return m_data->folder(open);
    }
    const QStringView extension = extensionOf(name);
    if (extension.isEmpty()) {
        const QString base = name.sliced(name.lastIndexOf(u'/') + 1);
        if (const auto found = m_data->indexByName.constFind(base); found != m_data->indexByName.cend()) {
            return *found;
        }
        const int index = m_data->forMimeOf(base);
        m_data->indexByName.insert(base, index);
        return index;
    }
    const QString key = extension.toString();
    if (const auto found = m_data->indexByExtension.constFind(key); found != m_data->indexByExtension.cend()) {
        return *found;
    }
    // Asked for a stand-in name with the same extension, so the answer does not depend on which name
    // of that extension came first ("a.tar.gz" and "b.gz" both get the icon of ".gz").
    const int index = m_data->forMimeOf(QStringLiteral("x.") + key);
    m_data->indexByExtension.insert(key, index);
    return index;
}

SystemIcons& systemIcons()
{
    if (!s_systemImages) {
        s_systemImages = std::make_unique<SystemIcons>();
    }
    return *s_systemImages;
}

void releaseSystemIcons() { s_systemImages.reset(); }

int systemIconIndex(const QString& name, bool open) { return systemIcons().indexOf(name, open); }

bool shellIcon(const QString& path, bool open, QIcon& icon)
{
    icon = QIcon();
    const int index = systemIconIndex(path, open);
    if (index < 0) {
        return false;
    }
    icon = systemIcons().icon(index);
    return true;
}
