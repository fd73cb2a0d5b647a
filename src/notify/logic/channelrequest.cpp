#include "notify/logic/channelrequest.h"

#include <QDir>

namespace {

constexpr QByteArrayView kShowLine = "show\n";
constexpr QByteArrayView kSyncLine = "sync\n";
constexpr QByteArrayView kImportPrefix = "import ";

bool isImportablePath(const QString& path) {
    return !path.isEmpty() && !path.contains(QChar(u'\0')) && QDir::isAbsolutePath(path);
}

}  // namespace

QByteArray encodeChannelRequest(const ChannelRequest& request) {
    if (request.kind == ChannelRequest::Kind::Show) return kShowLine.toByteArray();
    if (request.kind == ChannelRequest::Kind::Sync) return kSyncLine.toByteArray();
    if (!isImportablePath(request.path)) return {};
    const QByteArray line = kImportPrefix.toByteArray() + request.path.toUtf8().toBase64() + '\n';
    return line.size() <= kMaxChannelRequest ? line : QByteArray();
}

std::optional<ChannelRequest> parseChannelRequest(QByteArrayView bytes) {
    if (bytes.isEmpty() || bytes.size() > kMaxChannelRequest ||
        bytes.indexOf('\n') != bytes.size() - 1)
        return std::nullopt;
    if (bytes == kShowLine) return ChannelRequest{};
    if (bytes == kSyncLine) return ChannelRequest{ChannelRequest::Kind::Sync, {}};
    if (!bytes.startsWith(kImportPrefix)) return std::nullopt;

    const QByteArrayView base64 = bytes.sliced(kImportPrefix.size()).chopped(1);
    const auto decoded = QByteArray::fromBase64Encoding(
        base64.toByteArray(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || !QByteArrayView(*decoded).isValidUtf8()) return std::nullopt;
    ChannelRequest request{ChannelRequest::Kind::Import, QString::fromUtf8(*decoded)};
    if (!isImportablePath(request.path)) return std::nullopt;
    return request;
}
