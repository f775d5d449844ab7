// The caches' listener hears every value and quality a cache takes, with what the cache then
// holds, and nothing when a quality is set again unchanged; once replaced it hears no more.
#include "toolkit/SODaSCache.h"

#include <gtest/gtest.h>
#include <vector>

namespace vorn {
namespace {

struct Recorder : SODaSCacheListener {
    std::vector<std::pair<const SODaSCache*, CacheSnapshot>> heard;
    void cacheChanged(const SODaSCache& cache, const CacheSnapshot& state) override {
        heard.emplace_back(&cache, state);
    }
};

TEST(SODaSCacheListener, HearsEveryChangeWithWhatTheCacheHolds) {
    Recorder recorder;
    auto cache = makeObject<SODaSCache>();
    SODaSCache::setListener(&recorder);
    cache->setValueAndQuality(Variant::i2(5), Quality::kGood);
    cache->setValueAndQuality(Variant::i2(5), Quality::kGood); // a poll: told, the front compares
    cache->setQuality(Quality::kBadCommFailure);
    cache->setQuality(Quality::kBadCommFailure); // unchanged: not told
    SODaSCache::setListener(nullptr);
    cache->setValueAndQuality(Variant::i2(6), Quality::kGood);

    ASSERT_EQ(recorder.heard.size(), 3u);
    EXPECT_EQ(recorder.heard[0].first, cache.get());
    EXPECT_EQ(recorder.heard[0].second.value.asInt64(), 5);
    EXPECT_EQ(recorder.heard[2].second.quality, Quality::kBadCommFailure);
    EXPECT_EQ(recorder.heard[2].second.value.asInt64(), 5) << "a quality keeps the value";
    EXPECT_LT(recorder.heard[1].second.changeCount, recorder.heard[2].second.changeCount);
}

} // namespace
} // namespace vorn
