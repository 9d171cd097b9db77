/*
 * The TQRead conversion: a truck's completed transactions ("CompTran.trn") and
 * meter totals ("Totals.trn") into the accounting system's delivery text file
 * ("DELREAD.DAT"). One call runs a whole conversion.
 *
 * Contract:
 *  - TQReadRun never throws and never stops early at a bad record: every problem
 *    is reported through the message sink and the run goes on to close, park and
 *    unlock.
 *  - Runs are serialised machine-wide by the named mutex "ProcessControl", held for
 *    the whole call; a second run (from any process) waits for the first.
 *  - No completed transaction is deleted before its text has been written and
 *    flushed to stable storage. A failed write or flush takes the partial text
 *    back out of the file and leaves the records for the next run.
 *  - The stand-alone variant parks the records it could not convert yet (a sale
 *    whose summary has not arrived) in "CompTemp.trn" and puts them back at the
 *    start of the next run, moving the rest of their sale that arrived meanwhile
 *    behind them. The office variant leaves them in "CompTran.trn".
 *  - The message sink gets one call per message, without a line end (a message
 *    may hold an inner line feed). The progress callback (may be null) gets
 *    (0, range) when the walk starts, (position, range) at each step, and (0, 0)
 *    when the bar is to be hidden again.
 *  - Database folder: null means the program's own folder; a '/' is added when
 *    missing. With a shared catalogue (office) its folder is used and the files it
 *    held open before the run stay open.
 *  - Result: TQREAD_OK when conversionOk is set and errorSeen clear, TQREAD_FAILED
 *    otherwise, TQREAD_BAD_OPTIONS for null options or an unknown variant. The
 *    outcome (may be null) receives the run's flags; errorSeen is per run, the
 *    program keeps it sticky.
 */
#ifndef TRK_TQREAD_TQREAD_H
#define TRK_TQREAD_TQREAD_H

#include <stdint.h>

#ifdef __cplusplus
namespace trk::schema {
class Catalogue;
}
using TQReadCatalogue = trk::schema::Catalogue;
extern "C" {
#else
typedef struct TQReadCatalogue TQReadCatalogue;
#endif

enum TQReadVariant {
  TQREAD_VARIANT_STANDALONE = 0, /* TRKTQRead: log wordings, parking in "CompTemp.trn" */
  TQREAD_VARIANT_OFFICE = 1,     /* the office program's copy, with its own wordings and rules */
};

enum TQReadTrigger {
  TQREAD_TRIGGER_DATA_DEPOT = 0,
  TQREAD_TRIGGER_OPERATOR = 1,
  TQREAD_TRIGGER_STARTUP = 2, /* any other value is an unknown source */
};

enum TQReadResult {
  TQREAD_OK = 0,
  TQREAD_FAILED = 1,
  TQREAD_BAD_OPTIONS = 2,
};

typedef struct TQReadOptions {
  /* The delivery text file as given on the command line (stand-alone) or in the
   * view's "Output file:" field (office); null: the office configuration's
   * destination, or "DELREAD.DAT" in the database folder when that is empty. */
  const char* destinationFile;
  /* The database folder named on the command line; null: the program's own folder. */
  const char* databaseFolder;
  int32_t trigger;         /* TQReadTrigger; why the run started */
  uint8_t variant;         /* TQReadVariant */
  uint8_t omitTraceLines;  /* 1: leave out the builder's "Buffer ... Size" lines */
  /* The office's open catalogue, shared across its commands; null for a run of its own. */
  TQReadCatalogue* sharedCatalogue;
} TQReadOptions;

typedef struct TQReadOutcome {
  uint8_t conversionOk;         /* clear when the delivery text file may be incomplete */
  uint8_t errorSeen;            /* set by any reported database or file error */
  uint8_t communicationMethod;  /* byte 14 of the Config record the run used (exit rule) */
  uint32_t recordsAtStart;      /* records in "CompTran.trn" when the walk began */
  uint32_t recordsProcessed;    /* records the walk converted, dropped or left for later */
} TQReadOutcome;

typedef void (*TQReadMessageFn)(void* context, const char* message);
typedef void (*TQReadProgressFn)(void* context, uint32_t position, uint32_t range);

uint8_t TQReadRun(const TQReadOptions* options, TQReadMessageFn sink, TQReadProgressFn progress, void* context,
                  TQReadOutcome* outcome);

/* The version text of the stand-alone converter, "v1.24". */
extern const char* const verTQRead;

#ifdef __cplusplus
}
#endif

#endif /* TRK_TQREAD_TQREAD_H */
