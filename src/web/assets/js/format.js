// Numbers as the desktop table prints them ("C" printf conventions).

// printf("%.2f"): JavaScript's toFixed rounds an exact half away from
// zero, printf to even; the only exact halves at two decimals are odd
// eighths (0.125, 0.375, ...).
export function fixed2(value) {
  if (typeof value !== "number" || !isFinite(value)) return "";
  const magnitude = Math.abs(value);
  if (Number.isInteger(magnitude * 8) && !Number.isInteger(magnitude * 4)) {
    let cents = Math.floor(magnitude * 100);
    if (cents % 2 === 1) cents += 1;
    const text = (cents / 100).toFixed(2);
    return value < 0 ? "-" + text : text;
  }
  return value.toFixed(2);
}

// Volumes above 99,999,999 in thousands with a K, as the desktop list.
export function volumeText(volume) {
  if (typeof volume !== "number") return "";
  return volume > 99999999 ? Math.trunc(volume / 1000) + "K" : String(Math.trunc(volume));
}

// 30622938 -> "30,622,938".
export function thousands(value) {
  const whole = Math.trunc(value);
  const digits = String(Math.abs(whole));
  const groups = digits.replace(/\B(?=(\d{3})+(?!\d))/g, ",");
  return whole < 0 ? "-" + groups : groups;
}

export function compareClass(value, reference) {
  if (value > reference) return "rise";
  if (value < reference) return "fall";
  return "";
}

export function ratioOf(volume, average) {
  return average > 0 ? volume / average : 0;
}
