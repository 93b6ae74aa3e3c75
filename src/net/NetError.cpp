#include "NetError.h"

#include "base/Sentence.h"

QString NetError::sentence() const
{
    return asSentence(description);
}
