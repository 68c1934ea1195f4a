#pragma once

#include <QString>

// The simulator's end of a virtual serial line: a pseudo-terminal whose
// master side the simulator reads and writes, while the program under test
// opens the slave side like a serial port.
//
// The simulator keeps a descriptor of the slave side open itself. A pty
// master sees a hangup (EIO) once every slave descriptor is closed; holding
// one keeps the line alive while the program closes and reopens the port,
// exactly like a serial port that stays plugged in.
class VirtualLine
{
public:
    // linkPath: optional symlink that always points to the current line.
    explicit VirtualLine(const QString &linkPath = QString());
    ~VirtualLine();
    VirtualLine(const VirtualLine &) = delete;
    VirtualLine &operator=(const VirtualLine &) = delete;

    // Brings up a new pty (hanging up the old one) and points the link at it.
    bool open(QString *error);
    // Closes the master, as if the adapter was pulled: the program's reads
    // and writes fail at once, and the link goes away as a pulled adapter's
    // /dev/serial/by-id link does. Left behind, it would name whatever pty
    // the system hands out next under the old number (another simulator's),
    // and a program retrying the path would open that one.
    void hangUp();
    // Reopens the held slave descriptor after the line reported a hangup.
    bool holdSlave();

    bool isUp() const { return m_master >= 0; }
    int masterFd() const { return m_master; }
    QString ptyPath() const { return m_ptyPath; }
    // What the program must open: the link if there is one, else the pty.
    QString devicePath() const;

private:
    void closeLine();
    bool pointLink(QString *error);
    void removeLink();

    QString m_linkPath;
    QString m_ptyPath;
    int m_master = -1;
    int m_heldSlave = -1;
};
