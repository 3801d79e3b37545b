#include "ui/instance_channel.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include <QLocalServer>
#include <QLocalSocket>
#include <sstream>

#include "platform/product.h"

std::optional<InstanceRequest> ParseInstanceRequest(const std::string& line) {
  std::istringstream in(line);
  std::string verb;
  in >> verb;
  if (verb == "show") {
    std::string rest;
    if (in >> rest) return std::nullopt;
    return InstanceRequest{};
  }
  if (verb != "message") return std::nullopt;
  long long id = 0, w = 0, l = 0;
  if (!(in >> id >> w >> l)) return std::nullopt;
  std::string rest;
  if (in >> rest) return std::nullopt;
  if (id != 1690 && id != 1691 && id != 1705 && id != 2022) return std::nullopt;
  InstanceRequest r;
  r.kind = InstanceRequest::Kind::kMessage;
  r.message = static_cast<UINT>(id);
  r.wParam = static_cast<WPARAM>(w);
  r.lParam = static_cast<LPARAM>(l);
  return r;
}

InstanceServer::InstanceServer() = default;
InstanceServer::~InstanceServer() = default;

namespace {

bool SameUser(QLocalSocket* socket) {
  ucred cred{};
  socklen_t len = sizeof cred;
  const int fd = static_cast<int>(socket->socketDescriptor());
  return fd >= 0 && getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == getuid();
}

}  // namespace

bool InstanceServer::Listen(const std::string& socketPath, Handler handler) {
  handler_ = std::move(handler);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  const QString path = QString::fromStdString(socketPath);
  // We hold the instance lock, so a socket file left here is stale.
  QLocalServer::removeServer(path);
  if (!server_->listen(path)) {
    DebugTrace(2, "instance socket: %s", server_->errorString().toUtf8().constData());
    return false;
  }
  QObject::connect(server_.get(), &QLocalServer::newConnection, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      if (!SameUser(socket)) {
        socket->abort();
        socket->deleteLater();
        continue;
      }
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        while (socket->canReadLine()) {
          const std::string line = socket->readLine(4096).trimmed().toStdString();
          const auto request = ParseInstanceRequest(line);
          socket->write(request ? "ok\n" : "error\n");
          socket->flush();
          if (request && handler_) handler_(*request);
        }
        if (socket->bytesAvailable() > 4096) socket->abort();  // no line in sight
      });
    }
  });
  return true;
}

bool SendInstanceRequest(const std::string& socketPath, const std::string& line, int timeoutMs) {
  // Plain sockets: the second instance ends before it would need Qt.
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (socketPath.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  const std::string request = line + "\n";
  ok = ok && send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
  char reply[16] = {};
  ok = ok && recv(fd, reply, sizeof reply - 1, 0) >= 2 && std::strncmp(reply, "ok", 2) == 0;
  close(fd);
  return ok;
}
