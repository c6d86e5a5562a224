#include "fileio/folders.h"

#include "base/checked.h"

#include <QFile>

#include <filesystem>
#include <system_error>

namespace fileio {

namespace {

// The cause of a failed folder operation in plain words.
QString folderCause(const std::error_code &ec)
{
    if (ec == std::errc::not_a_directory || ec == std::errc::file_exists)
        return QStringLiteral("not a folder");
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
        ec == std::errc::read_only_file_system)
        return QStringLiteral("permission denied");
    if (ec == std::errc::no_space_on_device)
        return QStringLiteral("no space left on the device");
    return QString::fromLocal8Bit(ec.message().c_str());
}

} // namespace

void makeFolder(const QString &dir)
{
    std::error_code ec;
    const std::filesystem::path path(QFile::encodeName(dir).toStdString());
    std::filesystem::create_directories(path, ec);
    if (!ec && !std::filesystem::is_directory(path, ec))
        ec = std::make_error_code(std::errc::not_a_directory);
    if (ec)
        throw base::FileError(folderCause(ec).toStdString());
}

} // namespace fileio
