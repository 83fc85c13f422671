#pragma once

#include <string>

class CEventLog;
class CUpdateWebServer;

// The update web server's misbehaviours as text, for classroom-sim's command line
// ("--update-NAME VALUE") and its input command ("update NAME VALUE"). KEY is a
// download key; without "KEY=" a setting holds for every download.
//   refuse [KEY=]N              refuse the next N downloads with a short body (-1: all)
//   fail PAGE=WHAT[,SCHEME]     PAGE server-info, file-list or download; WHAT none,
//                               404, 500, 302 or drop; only over SCHEME (https, http)
//   download-fail [KEY=]WHAT    downloads of KEY fail that way
//   cut [KEY=]BYTES             announce the whole body, send BYTES, close (-1: off)
//   huge [KEY=]BYTES|limit      a generated body of BYTES (limit: 67108865) (-1: off)
//   slow [KEY=]MS[,AFTER]       pause MS after the head and AFTER body bytes (0: off)
//   extra-line LINE             append "file:" LINE to the file list
//   extra-body KEY=FILE         serve the bytes of FILE for KEY
//   malicious NAME|all          append a malicious record (and its body)
//   clear                       no misbehaviour, no extra line (the value is ignored)
//   reload                      read the folder again (the value is ignored)
// With server null the text is only checked. False, with error saying why, for an
// unknown name or a bad value.
bool ApplyUpdateSetting(CUpdateWebServer* server, const std::string& name, const std::string& value,
                        std::string& error);

// Whether the setting takes no value ("clear", "reload").
bool UpdateSettingIsFlag(const std::string& name);

// The event "update_counts": requests per page (server_info, file_list, download) and
// the downloads served per key ("downloads": "key=n,key=n").
void ReportUpdateCounts(const CUpdateWebServer& server, CEventLog& log);
