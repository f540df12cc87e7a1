#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/peers/PeerProcess.h"

namespace quellion::test {

// One nginx in a temporary folder of its own: it serves the folder's www/ (index.html is
// IndexBody()) from the server blocks given to Start, keeps its logs and temporary files
// in the folder, and is stopped in the destructor. Both nginx peers are built on it.
class TNginxProcess {
 public:
  TNginxProcess();
  ~TNginxProcess();
  TNginxProcess(const TNginxProcess&) = delete;
  TNginxProcess& operator=(const TNginxProcess&) = delete;

  static const char* IndexBody() { return "<html>nginx</html>\n"; }
  // The folder the server blocks name as their root.
  std::string Root() const { return dir_.File("www"); }
  // Starts nginx with these server blocks inside its http block; throws, with the end
  // of its logs, unless every port accepts connections in time.
  void Start(const std::string& servers, const std::vector<uint16_t>& ports);
  // Adds a file under www/ (before or after the start).
  void AddFile(const std::string& name, const std::string& content) const;
  // A file of size zero bytes under www/ without holding it in memory.
  void AddSparseFile(const std::string& name, uint64_t size) const;

 private:
  TTempDir dir_{"quellion-nginx"};
  std::unique_ptr<TChildProcess> process_;
};

}  // namespace quellion::test
