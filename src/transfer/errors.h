// Failures of a transfer and the exit codes they lead to. Scripts may rely on the codes:
//
//   0  everything was done
//   1  a server failed (connection lost, protocol error, message refused); what was done is
//      kept and a retry takes up where this run stopped
//   2  usage error (unknown command or arguments)
//   3  settings error (transfer.INI missing or malformed, no password to be had)
//   4  a server refused the user name or password
//   5  a server's certificate was refused (unknown authority, wrong name, expired)
//   6  a local file could not be read or written (packet, outbound directory, zip file)
//
// When several servers fail, the run goes on with the others and exits with the highest code.
#pragma once

#include <stdexcept>
#include <string>

namespace pelorin::transfer {

enum class Failure {
    Server = 1,
    Usage = 2,
    Settings = 3,
    Auth = 4,
    Certificate = 5,
    LocalFile = 6,
};

class TransferError : public std::runtime_error {
public:
    TransferError(Failure kind, const std::string& message)
        : std::runtime_error(message)
        , kind_(kind) {}
    Failure kind() const { return kind_; }

private:
    Failure kind_;
};

}  // namespace pelorin::transfer
