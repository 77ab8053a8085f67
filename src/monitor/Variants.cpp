#include "monitor/Variants.h"

namespace monitor {
namespace {

using logformat::kCooler;
using logformat::kCounter119;
using logformat::kCounter121;
using logformat::kHeater;

constexpr VariantTable kWithDefrost{true,
                                    {{{119, 16, "t_Cooler   ", kCounter119, "cooler_2"},
                                      {121, 18, "t_Defrost  ", kCounter121, "defrost"},
                                      {125, 15, "_Heater    ", kHeater, "heater"},
                                      {127, 17, "_Cooler    ", kCooler, "cooler"}}}};
constexpr VariantTable kWithEfficiency{false,
                                       {{{119, 16, "_HeatEff.  ", kCounter119, "heat_eff"},
                                         {121, 18, "_CoolEff.  ", kCounter121, "cool_eff"},
                                         {125, 15, "_Heater    ", kHeater, "heater"},
                                         {127, 17, "_Cooler    ", kCooler, "cooler"}}}};

}  // namespace

const VariantTable& ForVariant(std::int32_t variant) {
  return variant == 1 || variant == 9 ? kWithDefrost : kWithEfficiency;
}

}  // namespace monitor
