#include "tests/support/peers/NginxProcess.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace quellion::test {

TNginxProcess::TNginxProcess() {
  std::filesystem::create_directories(dir_.File("www"));
  std::filesystem::create_directories(dir_.File("temp"));
  AddFile("index.html", IndexBody());
}

TNginxProcess::~TNginxProcess() {
  process_.reset();
}

void TNginxProcess::Start(const std::string& servers, const std::vector<uint16_t>& ports) {
  const std::string nginx = RequireBinary("nginx", {"/usr/sbin/nginx"});
  const std::string d = dir_.Path();
  std::string temp;
  for (const char* t : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
    temp += std::string("  ") + t + "_temp_path " + d + "/temp/" + t + ";\n";
  dir_.Write("nginx.conf", "daemon off;\nmaster_process off;\nworker_processes 1;\npid " + d +
                               "/nginx.pid;\nerror_log " + d +
                               "/error.log warn;\nevents { worker_connections 512; }\n"
                               "http {\n  access_log off;\n"
                               "  default_type application/octet-stream;\n  sendfile on;\n" +
                               temp + servers + "}\n");
  process_ = std::make_unique<TChildProcess>(
      std::vector<std::string>{nginx, "-p", d, "-e", d + "/error.log", "-c", d + "/nginx.conf"},
      d + "/nginx.out");
  for (const uint16_t port : ports) {
    if (!WaitForListening(port, 15000)) {
      process_->Stop();
      throw std::runtime_error("nginx did not start on port " + std::to_string(port) + ":\n" +
                               Tail(d + "/error.log") + Tail(d + "/nginx.out"));
    }
  }
}

void TNginxProcess::AddFile(const std::string& name, const std::string& content) const {
  dir_.Write("www/" + name, content);
}

void TNginxProcess::AddSparseFile(const std::string& name, uint64_t size) const {
  const std::string path = dir_.File("www/" + name);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
    if (fd >= 0)
      ::close(fd);
    throw std::runtime_error("cannot create " + path);
  }
  ::close(fd);
}

}  // namespace quellion::test
