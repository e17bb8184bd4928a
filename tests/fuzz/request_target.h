// Feeds arbitrary request lines to the stand-in service, over a throw-away installation root.
#pragma once

#include <QByteArray>
#include <QString>

class QCoreApplication;

// Creates the application the service's timers and processes need. argc must outlive it.
QCoreApplication *startRequestApplication(int &argc, char **argv);

class RequestTarget
{
public:
    // Needs a running QCoreApplication. Builds the template installation once.
    RequestTarget();
    ~RequestTarget();

    // Runs one input: every line of it is a request to a service started on a fresh copy of the
    // template root. Aborts, with the reason on standard error, when a rule is broken: a reply
    // that is not exactly one JSON object line with "cmd" and either "error" or "input", a file
    // written outside the root, or a settings file that the service wrote and cannot read back.
    void run(const QByteArray &bytes);

private:
    void freshRoot();
    QString outsideListing() const;

    QString scratch;  // holds the template, the root and nothing else
    QString pristine; // the template installation
    QString root;     // the installation the service runs on
    QString world;    // inside the root: where request paths lead
    QString outsideBefore;
};
