/*
 * The TQLoad conversion: the accounting system's dispatch text file into the
 * truck's database files. One call runs a whole conversion.
 *
 * Contract:
 *  - TQLoadRun never throws and never stops early at a bad line: every problem is
 *    reported through the message sink and the run goes on to close its files.
 *  - The message sink gets one call per message, without a line end. The console
 *    variant's messages are those of its log file (a message may hold an inner
 *    line feed); the office variant's are its list entries (never a line feed).
 *  - The progress callback (may be null) gets (position, range) as the source is
 *    read: range is the file length / 10, or 32767 for files above 327670 bytes,
 *    and position grows by one for each step of characters read.
 *  - Database folder: used exactly as given (file names are appended to it); null
 *    means the program's own folder. With a shared catalogue the catalogue's folder
 *    is used and the catalogue's files stay open afterwards as the office expects;
 *    otherwise every file the run opened is closed before the call returns.
 *  - Result: TQLOAD_OK when the run ended without the error flag, TQLOAD_FAILED
 *    when the flag is set (see the messages), TQLOAD_BAD_OPTIONS for null options
 *    or an unknown variant.
 *  - Runs on the caller's thread; engine calls are serialised machine-wide by the
 *    engine itself.
 */
#ifndef TRK_TQLOAD_TQLOAD_H
#define TRK_TQLOAD_TQLOAD_H

#include <stdint.h>

#ifdef __cplusplus
namespace trk::schema {
class Catalogue;
}
using TQLoadCatalogue = trk::schema::Catalogue;
extern "C" {
#else
typedef struct TQLoadCatalogue TQLoadCatalogue;
#endif

enum TQLoadVariant {
  TQLOAD_VARIANT_CONSOLE = 0, /* TRKTQLoad: log-file wordings */
  TQLOAD_VARIANT_OFFICE = 1,  /* the office program's copy, with its own wordings and rules */
};

enum TQLoadResult {
  TQLOAD_OK = 0,
  TQLOAD_FAILED = 1,
  TQLOAD_BAD_OPTIONS = 2,
};

typedef struct TQLoadOptions {
  /* The dispatch text file; null: the office configuration's source path, or the
   * database folder's "DELLOAD.DAT" when that is empty. */
  const char* sourceFile;
  const char* databaseFolder;
  uint8_t variant; /* TQLoadVariant */
  /* The office's open catalogue, shared across its commands; null for a run of its own. */
  TQLoadCatalogue* sharedCatalogue;
} TQLoadOptions;

typedef void (*TQLoadMessageFn)(void* context, const char* message);
typedef void (*TQLoadProgressFn)(void* context, uint32_t position, uint32_t range);

uint8_t TQLoadRun(const TQLoadOptions* options, TQLoadMessageFn sink, TQLoadProgressFn progress, void* context);

/* The text of the TQLoad banner's version, "v1.24". */
extern const char* const verTQLoad;

#ifdef __cplusplus
}
#endif

#endif /* TRK_TQLOAD_TQLOAD_H */
